#ifndef EXTRACTSETTINGS_H
#define EXTRACTSETTINGS_H

#include <QGroupBox>

class QLineEdit;

// The part of the settings window that the extract from an order reads: the
// unit's header lines and who signs the copy ("Верно:"), each written to
// settings.ini once its field is left. A field left empty gives a line to
// write in by hand on the extract.
class ExtractSettings : public QGroupBox
{
    Q_OBJECT

public:
    explicit ExtractSettings(QWidget *parent = nullptr);

private:
    void add(const QString &label, const char *key, const QString &objectName, const QString &example);
    // Writes the field's text under `key`; says so in a warning when
    // settings.ini could not be written and then shows what it holds.
    void store(QLineEdit *field, const char *key);
};

#endif // EXTRACTSETTINGS_H
