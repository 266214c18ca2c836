#include "app/AboutDlg.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(292, 150);
    auto* bevel = new QFrame(this);
    bevel->setFrameShape(QFrame::Panel);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(8, 8, 276, 96);
    auto* product = new QLabel(QStringLiteral("Product name：Paperless recorder "), bevel);
    product->setGeometry(16, 22, 250, 20);
    auto* version = new QLabel(QStringLiteral("Version ：1.3.5"), bevel);
    version->setGeometry(16, 54, 250, 20);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(109, 114, 75, 27);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
