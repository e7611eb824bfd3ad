#include "windows/extractsettings.h"

#include "storage/setup/paths.h"
#include "storage/setup/settings.h"
#include "view/dialogs.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QSignalBlocker>

ExtractSettings::ExtractSettings(QWidget *parent)
    : QGroupBox(QStringLiteral("Выписка из приказа"), parent)
{
    setObjectName(QStringLiteral("groupBox_extract"));
    new QFormLayout(this);
    const QStringList places{QStringLiteral("Шапка, 1-я строка"), QStringLiteral("2-я строка"),
                             QStringLiteral("3-я строка")};
    const QStringList examples{QStringLiteral("например, Войсковая часть 00000"), QString(), QString()};
    for (int i = 0; i < Settings::EXTRACT_HEADER_LINES; ++i)
        add(places.at(i), Settings::EXTRACT_HEADER_KEYS[i],
            QStringLiteral("lineEdit_extractHeader%1").arg(i + 1), examples.at(i));
    add(QStringLiteral("«Верно»: должность"), Settings::EXTRACT_POSITION_KEY,
        QStringLiteral("lineEdit_extractPosition"), QStringLiteral("например, Начальник строевой части"));
    add(QStringLiteral("воинское звание"), Settings::EXTRACT_RANK_KEY, QStringLiteral("lineEdit_extractRank"),
        QStringLiteral("например, капитан"));
    add(QStringLiteral("фамилия и инициалы"), Settings::EXTRACT_NAME_KEY,
        QStringLiteral("lineEdit_extractName"), QStringLiteral("например, И. Иванов"));
}

void ExtractSettings::add(const QString &label, const char *key, const QString &objectName,
                          const QString &example)
{
    auto *field = new QLineEdit(this);
    field->setObjectName(objectName);
    field->setText(Settings::setting(key).toString());
    field->setPlaceholderText(example);
    field->setToolTip(QStringLiteral("Пустое поле оставляет в выписке линию, чтобы вписать от руки"));
    static_cast<QFormLayout *>(layout())->addRow(label, field);
    connect(field, &QLineEdit::editingFinished, this, [this, field, key] { store(field, key); });
}

void ExtractSettings::store(QLineEdit *field, const char *key)
{
    const QString text = field->text().trimmed();
    // The field reports every loss of focus, changed or not.
    if (text == Settings::setting(key).toString())
        return;
    if (Settings::storeSetting(key, text))
        return;
    // The box takes the focus from the field, which would report the same
    // text as finished again.
    const QSignalBlocker quiet(field);
    Dialogs::warn(this, QStringLiteral("Настройка не сохранена: файл настроек %1 не удалось записать.")
                            .arg(QString::fromLatin1(Paths::SETTINGS_FILE)));
    field->setText(Settings::setting(key).toString());
}
