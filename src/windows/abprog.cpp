#include "windows/abprog.h"
#include "ui_abprog.h"

#include "aboutcredits.h"

#include <QDebug>
#include <QMouseEvent>

abprog::abprog(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::abprog)
{
    ui->setupUi(this);
    // The form holds the text with %1..%4 where the credits chosen at build
    // time go; they are escaped so that any name reads as plain text.
    ui->label->setText(ui->label->text().arg(QString::fromUtf8(VEDOMER_ABOUT_AUTHOR).toHtmlEscaped(),
                                             QString::fromUtf8(VEDOMER_ABOUT_PROGRAMMER).toHtmlEscaped(),
                                             QString::fromUtf8(VEDOMER_ABOUT_SUPERVISOR).toHtmlEscaped(),
                                             QString::fromUtf8(VEDOMER_ABOUT_EMAIL).toHtmlEscaped()));
}

abprog::~abprog()
{
    delete ui;
}

void abprog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (click <= THRESHOLD) {
        ++click;
        return;
    }
    emit tap();
    qDebug() << "1";
}
