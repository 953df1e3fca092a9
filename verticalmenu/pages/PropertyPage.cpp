// Shared part of the navigation bar's property pages.
#include "verticalmenu/pages/PropertyPage.h"

#include "verticalmenu/VerticalMenu.h"

#include <cmath>
#include <limits>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

PropertyPage::PropertyPage(QWidget* parent) : QWidget(parent) {}

void PropertyPage::setSelectedControls(const QList<VerticalMenu*>& controls) {
    m_controls.clear();
    for (VerticalMenu* c : controls)
        m_controls.append(c);
    SelectionChanged();
}

void PropertyPage::setChanged(bool changed) {
    if (m_changed == changed)
        return;
    m_changed = changed;
    emit changedChanged(changed);
}

VerticalMenu* PropertyPage::control() const {
    return m_controls.isEmpty() ? nullptr : m_controls.first().data();
}

QLineEdit* PropertyPage::addField(QFormLayout* form, const QString& objectName, const QString& label) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(objectName);
    auto* caption = new QLabel(label, this);
    caption->setBuddy(edit);
    form->addRow(caption, edit);
    connect(edit, &QLineEdit::textEdited, this, [this] { setChanged(true); });
    return edit;
}

std::optional<int> PropertyPage::toLong(const QString& text) {
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    const double rounded = std::nearbyint(number); // the default rounding mode: halves to even
    if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(rounded);
}
