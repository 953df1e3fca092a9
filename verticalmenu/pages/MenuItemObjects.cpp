// The current item's page, with the picture chosen from a file.
#include "verticalmenu/pages/MenuItemObjects.h"

#include "base/Feedback.h"
#include "verticalmenu/VerticalMenu.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

MenuItemObjects::MenuItemObjects(Feedback& feedback, QWidget* parent)
    : PropertyPage(parent), m_feedback(feedback) {
    setObjectName(QStringLiteral("MenuItemObjects"));
    setWindowTitle(QStringLiteral("MenuItemObjects"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    txtMenuItemCaption =
        addField(form, QStringLiteral("txtMenuItemCaption"), QStringLiteral("MenuItemCaption:"));

    auto* pictureRow = new QHBoxLayout;
    imgPicture = new QLabel(this);
    imgPicture->setObjectName(QStringLiteral("imgPicture"));
    imgPicture->setFixedSize(36, 36);
    imgPicture->setFrameShape(QFrame::Panel);
    imgPicture->setFrameShadow(QFrame::Sunken);
    imgPicture->setAlignment(Qt::AlignCenter);
    cmdBrowse = new QPushButton(QStringLiteral("Browse..."), this);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    connect(cmdBrowse, &QPushButton::clicked, this, &MenuItemObjects::cmdBrowse_Click);
    pictureRow->addWidget(imgPicture);
    pictureRow->addWidget(cmdBrowse);
    pictureRow->addStretch();
    auto* pictureLabel = new QLabel(QStringLiteral("MenuItemPicture:"), this);
    pictureLabel->setBuddy(cmdBrowse);
    form->addRow(pictureLabel, pictureRow);

    txtMenuItemKey = addField(form, QStringLiteral("txtMenuItemKey"), QStringLiteral("MenuItemKey:"));
    txtMenuItemTag = addField(form, QStringLiteral("txtMenuItemTag"), QStringLiteral("MenuItemTag:"));
    layout->addLayout(form);
    layout->addStretch();
}

void MenuItemObjects::showPicture() {
    imgPicture->setPixmap(m_picture.isNull() ? QPixmap() : QPixmap::fromImage(m_picture));
}

void MenuItemObjects::SelectionChanged() {
    if (VerticalMenu* c = control()) {
        txtMenuItemCaption->setText(c->MenuItemCaption());
        m_picture = c->MenuItemIcon();
        showPicture();
        txtMenuItemKey->setText(c->MenuItemKey());
        txtMenuItemTag->setText(c->MenuItemTag());
    }
    setChanged(false);
}

void MenuItemObjects::ApplyChanges() {
    VerticalMenu* c = control();
    if (!c)
        return;
    c->setMenuItemCaption(txtMenuItemCaption->text());
    c->setMenuItemIcon(m_picture);
    c->setMenuItemKey(txtMenuItemKey->text());
    c->setMenuItemTag(txtMenuItemTag->text());
    setChanged(false);
}

void MenuItemObjects::cmdBrowse_Click() {
    Feedback::FileDialog CommonDialog1;
    CommonDialog1.title = QStringLiteral("Open Picture (bmp)");
    CommonDialog1.filter = QStringLiteral("IconFiles(*.ico)|*.ico");
    CommonDialog1.initialName = QStringLiteral("*.ico");
    CommonDialog1.defaultSuffix = QStringLiteral("bmp");
    const std::optional<QString> chosen = m_feedback.openFileName(CommonDialog1);
    if (!chosen)
        return;
    QImageReader reader(*chosen);
    const QImage loaded = reader.read();
    // A file that is not a picture changes nothing, like a cancelled dialog.
    if (loaded.isNull())
        return;
    m_picture = loaded;
    showPicture();
    setChanged(true);
}
