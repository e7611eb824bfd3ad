#include "storage/setup/privacy.h"

#include "storage/setup/paths.h"
#include "storage/setup/settings.h"
#include "storage/db/errorlog.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/types.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// Group and others: no rights on anything the program makes.
const mode_t PRIVATE_MASK = 077;
// The user's own mask as the program found it, for his exports.
mode_t usualMask = 022;
bool maskSet = false;

// Takes group and others' rights off one file or folder (a symbolic link is
// left alone); true when it had some and has none now. A file system without
// Unix permissions (a flash drive) may accept the change and keep nothing:
// that is not counted as done.
bool tighten(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) ||
        (st.st_mode & PRIVATE_MASK) == 0)
        return false;
    return ::chmod(name.constData(), st.st_mode & 0700) == 0 && ::lstat(name.constData(), &st) == 0 &&
           (st.st_mode & PRIVATE_MASK) == 0;
}

// What was tightened in one start, named relative to the working folder.
class Sweep
{
public:
    explicit Sweep(const QString &work)
        : m_work(work)
    {
    }

    void one(const QString &path)
    {
        if (tighten(path))
            m_done << shown(path);
    }

    // A folder and everything below it.
    void tree(const QString &folder)
    {
        one(folder);
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            one(it.next());
    }

    // A database folder: the program's files in it, and the folder itself
    // only when it lies in the working folder (one chosen elsewhere is the
    // user's).
    void databaseFolder(const QString &folder)
    {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (canonical.isEmpty() || m_seen.contains(canonical))
            return;
        m_seen << canonical;
        if (canonical == m_work || canonical.startsWith(m_work + QLatin1Char('/')))
            one(canonical);
        const QDir dir(canonical);
        const QStringList names = dir.entryList({QStringLiteral("BaseDate*")},
                                                QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
        for (const QString &name : names)
            one(dir.filePath(name));
    }

    void log() const
    {
        if (m_done.isEmpty())
            return;
        const int named = 10;
        QString list = m_done.mid(0, named).join(QStringLiteral(", "));
        if (m_done.size() > named)
            list += QStringLiteral(" и ещё %1").arg(m_done.size() - named);
        Query::appendLog(QStringLiteral("Закрыт доступ других пользователей компьютера к данным Ведомера "
                                           "в папке «%1» (права оставлены только владельцу): %2\n")
                                .arg(QDir::toNativeSeparators(m_work), list));
    }

private:
    QString shown(const QString &path) const
    {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if (absolute == m_work)
            return QStringLiteral("сама папка");
        if (absolute.startsWith(m_work + QLatin1Char('/')))
            return QDir::toNativeSeparators(absolute.mid(m_work.size() + 1));
        return QDir::toNativeSeparators(absolute);
    }

    QString m_work;
    QStringList m_done;
    QStringList m_seen;
};
#endif

} // namespace

void Privacy::keepPrivate()
{
#ifdef Q_OS_UNIX
    const mode_t previous = ::umask(PRIVATE_MASK);
    if (!maskSet) {
        usualMask = previous;
        maskSet = true;
    }
    const QString work = QDir::current().canonicalPath();
    const QDir here(work);
    Sweep sweep(work);
    // The home folder holds more than the register: its rights are the
    // user's business.
    if (work != QDir::home().canonicalPath())
        sweep.one(work);
    for (const char *name : {Paths::SETTINGS_FILE, Paths::LOG_FILE, Paths::OLDER_LOG_FILE, Paths::LOCK_FILE,
                             Paths::TABLE_DESCRIPTOR, Paths::COLUMN_DESCRIPTOR,
                             Paths::SERVER_TABLE_DESCRIPTOR, Paths::SERVER_COLUMN_DESCRIPTOR})
        sweep.one(here.filePath(QString::fromLatin1(name)));
    sweep.tree(here.filePath(QString::fromLatin1(Paths::FILES_FOLDER)));
    // The verification's folder "data" and the folder settings.ini names.
    sweep.databaseFolder(QFileInfo(QString::fromLatin1(Paths::VERIFIED_DATABASE)).absolutePath());
    sweep.databaseFolder(QFileInfo(Settings::databaseFolder()).absoluteFilePath());
    sweep.log();
#endif
}

void Privacy::ownOnly(const QString &file)
{
#ifdef Q_OS_UNIX
    tighten(file);
#else
    Q_UNUSED(file);
#endif
}

void Privacy::exported(const QString &file, bool existed)
{
#ifdef Q_OS_UNIX
    if (!existed && maskSet)
        ::chmod(QFile::encodeName(file).constData(), 0666 & ~usualMask);
#else
    Q_UNUSED(file);
    Q_UNUSED(existed);
#endif
}
