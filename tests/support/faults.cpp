#include "faults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace TestSupport {

namespace {

int faultCount = 0;

const char HOLD_VARIABLE[] = "VEDOMER_TEST_HOLD_LOCK";
const char HOLD_ROW_VARIABLE[] = "VEDOMER_TEST_HOLD_ROW";
const char HOLD_TIME_VARIABLE[] = "VEDOMER_TEST_HOLD_MS";
const char HOLD_EXCLUSIVE_VARIABLE[] = "VEDOMER_TEST_HOLD_EXCLUSIVE";

#ifdef Q_OS_LINUX
QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

// The privileges by which root writes whatever the permissions say. They
// are given up for the calling thread only, the one that runs the windows
// and the database; dropped counts how many holders want them gone.
const unsigned DAC_CAPS[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};
int dropped = 0;
__u32 savedEffective[2] = {0, 0};

bool setEffective(bool drop)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    if (drop) {
        savedEffective[0] = data[0].effective;
        savedEffective[1] = data[1].effective;
        for (unsigned cap : DAC_CAPS)
            data[CAP_TO_INDEX(cap)].effective &= ~CAP_TO_MASK(cap);
    } else {
        data[0].effective = savedEffective[0];
        data[1].effective = savedEffective[1];
    }
    return syscall(SYS_capset, &header, data) == 0;
}

bool dropPrivileges()
{
    if (dropped == 0 && !setEffective(true))
        return false;
    ++dropped;
    return true;
}

void restorePrivileges()
{
    if (dropped > 0 && --dropped == 0)
        setEffective(false);
}

bool setImmutable(const QString &path, bool on)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}
#endif

} // namespace

bool cannotWrite(const QString &path)
{
#ifdef Q_OS_LINUX
    if (QFileInfo(path).isDir()) {
        const QByteArray probe = native(path + QStringLiteral("/.write-probe"));
        const int fd = ::open(probe.constData(), O_CREAT | O_EXCL | O_WRONLY, 0600);
        if (fd < 0)
            return true;
        ::close(fd);
        ::unlink(probe.constData());
        return false;
    }
    const int fd = ::open(native(path).constData(), O_WRONLY);
    if (fd < 0)
        return true;
    ::close(fd);
    return false;
#else
    QFile file(path);
    return !file.open(QIODevice::ReadWrite);
#endif
}

Unwritable::Unwritable(const QString &path)
    : m_path(QFileInfo(path).absoluteFilePath())
{
#ifdef Q_OS_LINUX
    struct stat st
    {
    };
    if (::stat(native(m_path).constData(), &st) != 0) {
        m_how = QStringLiteral("%1: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mode = st.st_mode & 07777;
    m_chmod = ::chmod(native(m_path).constData(), m_mode & ~0222u) == 0;
    if (m_chmod && cannotWrite(m_path)) {
        m_ok = true;
        m_how = QStringLiteral("write permission removed");
        return;
    }
    if (m_chmod && geteuid() == 0 && dropPrivileges()) {
        m_dropped = true;
        if (cannotWrite(m_path)) {
            m_ok = true;
            m_how = QStringLiteral("write permission removed, root privileges given up");
            return;
        }
        restorePrivileges();
        m_dropped = false;
    }
    if (setImmutable(m_path, true)) {
        m_immutable = true;
        if (cannotWrite(m_path)) {
            m_ok = true;
            m_how = QStringLiteral("marked immutable (chattr +i)");
            return;
        }
    }
    undo();
    m_how = QStringLiteral("neither permissions, giving up root privileges nor chattr +i stop this "
                           "process writing %1")
                .arg(m_path);
#else
    m_how = QStringLiteral("not made on this system");
#endif
}

Unwritable::~Unwritable()
{
    undo();
}

void Unwritable::undo()
{
#ifdef Q_OS_LINUX
    if (m_immutable)
        setImmutable(m_path, false);
    if (m_dropped)
        restorePrivileges();
    if (m_chmod)
        ::chmod(native(m_path).constData(), m_mode);
#endif
    m_immutable = m_dropped = m_chmod = false;
}

SmallDisk::SmallDisk(const QString &folder, int kilobytes)
    : m_folder(QFileInfo(folder).absoluteFilePath())
{
#ifdef Q_OS_LINUX
    QDir().mkpath(m_folder);
    const QByteArray options = QStringLiteral("size=%1k,mode=0700").arg(kilobytes).toLatin1();
    if (::mount("tmpfs", native(m_folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) ==
        0) {
        m_ok = true;
        return;
    }
    m_why = QStringLiteral("no small disk: mounting a tmpfs on %1 is not permitted here (%2)")
                .arg(m_folder, QString::fromLocal8Bit(std::strerror(errno)));
#else
    Q_UNUSED(kilobytes);
    m_why = QStringLiteral("no small disk on this system");
#endif
}

SmallDisk::~SmallDisk()
{
#ifdef Q_OS_LINUX
    // Lazily, should a connection still hold a file open there.
    if (m_ok)
        ::umount2(native(m_folder).constData(), MNT_DETACH);
#endif
}

bool SmallDisk::fill()
{
    QFile filler(m_folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    // The last partial block is written one byte at a time.
    while (filler.write("x", 1) == 1) {
    }
    return true;
}

bool SmallDisk::free(int kilobytes)
{
    QFile filler(m_folder + QStringLiteral("/filler"));
    return filler.resize(std::max<qint64>(0, filler.size() - qint64(kilobytes) * 1024));
}

LockHolder::LockHolder(const QString &database, int releaseAfterMs, const QString &row, bool exclusive)
    : m_process(new QProcess)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(HOLD_VARIABLE), QFileInfo(database).absoluteFilePath());
    env.insert(QString::fromLatin1(HOLD_TIME_VARIABLE), QString::number(releaseAfterMs));
    if (!row.isEmpty())
        env.insert(QString::fromLatin1(HOLD_ROW_VARIABLE), row);
    if (exclusive)
        env.insert(QString::fromLatin1(HOLD_EXCLUSIVE_VARIABLE), QStringLiteral("1"));
    m_process->setProcessEnvironment(env);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(QCoreApplication::applicationFilePath(), {});
    QByteArray said;
    while (m_process->waitForReadyRead(5000)) {
        said += m_process->readAll();
        if (said.contains('\n'))
            break;
    }
    m_locked = said.startsWith("locked");
    if (!m_locked)
        m_error = QString::fromUtf8(said.trimmed()) + m_process->errorString();
}

LockHolder::~LockHolder()
{
    release();
    delete m_process;
}

bool LockHolder::release()
{
    if (m_process->state() == QProcess::NotRunning)
        return m_process->exitCode() == 0;
    m_process->write("release\n");
    m_process->closeWriteChannel();
    if (!m_process->waitForFinished(5000)) {
        m_process->kill();
        m_process->waitForFinished(1000);
        return false;
    }
    return m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
}

int holdLockMain(int argc, char *argv[])
{
    const QString path = qEnvironmentVariable(HOLD_VARIABLE);
    if (path.isEmpty())
        return -1;
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
    db.setDatabaseName(path);
    if (!db.open()) {
        out << "not opened: " << db.lastError().text() << Qt::endl;
        return 1;
    }
    {
        QSqlQuery query(db);
        const bool exclusive = qEnvironmentVariableIsSet(HOLD_EXCLUSIVE_VARIABLE);
        if (!query.exec(exclusive ? QStringLiteral("BEGIN EXCLUSIVE") : QStringLiteral("BEGIN IMMEDIATE"))) {
            out << "not locked: " << query.lastError().text() << Qt::endl;
            return 1;
        }
        const QString row = qEnvironmentVariable(HOLD_ROW_VARIABLE);
        if (!row.isEmpty()) {
            query.prepare(QStringLiteral("INSERT INTO Ranks (Rank, Rank_massa) VALUES (?, 1000)"));
            query.addBindValue(row);
            if (!query.exec()) {
                out << "not written: " << query.lastError().text() << Qt::endl;
                return 1;
            }
        }
        out << "locked" << Qt::endl;
        // Until told, or until the time is up.
#ifdef Q_OS_LINUX
        const int ms = qEnvironmentVariableIntValue(HOLD_TIME_VARIABLE);
        pollfd in{STDIN_FILENO, POLLIN, 0};
        ::poll(&in, 1, ms >= 0 ? ms : -1);
#endif
        if (!query.exec(QStringLiteral("COMMIT")))
            return 1;
    }
    db.close();
    return 0;
}

void privateMounts()
{
#ifdef Q_OS_LINUX
    if (::unshare(CLONE_NEWNS) == 0)
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
#endif
}

void countFault()
{
    ++faultCount;
}

int faultsInjected()
{
    return faultCount;
}

} // namespace TestSupport
