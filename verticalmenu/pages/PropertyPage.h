// A design-time property page of the navigation bar: fields bound to the first selected control.
#pragma once

#include <optional>
#include <QList>
#include <QPointer>
#include <QWidget>

class QFormLayout;
class QLineEdit;
class VerticalMenu;

class PropertyPage : public QWidget {
    Q_OBJECT
public:
    explicit PropertyPage(QWidget* parent = nullptr);

    // The controls the page edits; the page works on the first one.
    void setSelectedControls(const QList<VerticalMenu*>& controls);
    // Fills every field from the first selected control.
    virtual void SelectionChanged() = 0;
    // Writes every field to the first selected control, in the page's order. A value the
    // control refuses leaves the other fields applied.
    virtual void ApplyChanges() = 0;

    bool Changed() const { return m_changed; }
    void setChanged(bool changed);

    // Text as the control's whole-number properties take it: a number, rounded half to even;
    // nothing for text that is not a number or does not fit.
    static std::optional<int> toLong(const QString& text);

signals:
    void changedChanged(bool changed);

protected:
    VerticalMenu* control() const;
    // A labelled text box whose editing marks the page changed.
    QLineEdit* addField(QFormLayout* form, const QString& objectName, const QString& label);

private:
    QList<QPointer<VerticalMenu>> m_controls;
    bool m_changed = false;
};
