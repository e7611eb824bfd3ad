#ifndef SETTINGS_H
#define SETTINGS_H

#include <QWidget>

QT_BEGIN_NAMESPACE
class QLineEdit;
namespace Ui {
class settings;
}
QT_END_NAMESPACE

// The settings window: the database folder ("Path/db" of settings.ini), the
// kind of database (the SQLite file there, or a PostgreSQL server with its
// address, user and the encryption of the connection) and the months after which a penalty in force is
// recalled and the number of daily copies of the database kept, each written
// at once on every change, the way to the reference tables editor, and the
// header and signature of the extract from an order.
class settings : public QWidget
{
    Q_OBJECT

public:
    explicit settings(QWidget *parent = nullptr);
    ~settings() override;

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_pushButton_clicked();
    void on_pushButton_3_clicked();
    void on_pushButton_2_clicked();
    void on_lineEdit_editingFinished();
    void on_lineEdit_2_editingFinished();
    void on_lineEdit_3_editingFinished();
    void on_comboBox_kind_activated(int index);
    void on_lineEdit_host_editingFinished();
    void on_spinBox_port_editingFinished();
    void on_lineEdit_name_editingFinished();
    void on_lineEdit_user_editingFinished();
    void on_comboBox_ssl_activated(int index);
    void on_lineEdit_ca_editingFinished();
    void on_pushButton_ca_clicked();

private:
    // Writes the folder to settings.ini; says so in a warning when the file
    // could not be written and then shows what the file really holds.
    bool store(const QString &folder);
    // Writes one key of the server's settings, saying so when it fails.
    void storeServer(const char *key, const QString &value);
    // Stores the whole number typed into `field` under `key`. Anything but a
    // number from 0 to `largest` is refused with "`notSaved`: `wanted`, а
    // введено «…»" and the value `stored` reads is shown again.
    void storeCount(QLineEdit *field, const char *key, int (*stored)(), int largest, const QString &notSaved,
                    const QString &wanted);
    void showServer();
    void showKind(bool server);
    // The certificate authority's file is asked for only where the
    // server's certificate is checked.
    void showEncryption(bool verify);
    // Shows the note under the certificate authority's file whole.
    void showCaNote(const QString &text);
    // Stores the certificate authority's file when it is there; a line of
    // the window says when it is not.
    void storeCaFile(const QString &file);

    Ui::settings *ui;
};

#endif // SETTINGS_H
