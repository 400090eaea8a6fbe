#include "platform/filemailboxes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// Plain POSIX calls rather than QFile and QSaveFile: each failure must say the system's own reason
// (a full disk must not come back as "Unknown error"), and the folder must be flushed after a file
// appears in it or is renamed, or the file may be gone after a power cut. Files and folders this
// program makes are its owner's only (0600, 0700), whatever the umask, and are never reached through
// a symbolic link it did not make (O_NOFOLLOW, O_EXCL); only the mailbox file's own name may be one.

namespace varnel {
namespace {

QString Reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

QString FolderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

// A file descriptor that is closed when it goes out of scope, unless Close() was called.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool ok() const { return m_fd >= 0; }
    // Keeps the descriptor open past this object.
    int Release() { return std::exchange(m_fd, -1); }
    // close() can report a write that failed late (on some file systems): it is checked.
    bool Close() {
        const int fd = std::exchange(m_fd, -1);
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, const char* data, qint64 size, qint64 offset) {
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size_t(size), off_t(offset));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        size -= written;
        offset += written;
    }
    return true;
}

bool ReadAll(int fd, qint64 limit, QByteArray& out) {
    out.clear();
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            return true;
        if (out.size() + got > limit) {
            errno = EFBIG;
            return false;
        }
        out.append(buffer, got);
    }
}

bool SyncFolder(const QString& folder) {
    Fd fd(::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.ok() && ::fsync(fd.get()) == 0;
}

constexpr char kLockName[] = "varnel.lock";

// mkdir -p, new folders readable by their owner only; errno says why it failed.
bool MakeFolder(const QString& folder) {
    const QString clean = QDir::cleanPath(folder);
    struct stat st {};
    if (::stat(Native(clean).constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    const QString parent = FolderOf(clean);
    if (parent != clean && !MakeFolder(parent))
        return false;
    if (::mkdir(Native(clean).constData(), 0700) != 0)
        return errno == EEXIST;
    return ::chmod(Native(clean).constData(), 0700) == 0;
}

// Where a write to path lands: through symbolic links, to a file that may not exist yet.
QString Resolved(QString path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(Native(path).constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        const QString target = QFile::symLinkTarget(path);
        if (target.isEmpty())
            return path;
        path = target;
    }
    return path;
}

// Copies the open file in to a new file at path (which must not exist), flushed. errno on failure.
bool CopyInto(int in, const QString& path, bool& created) {
    created = false;
    Fd out(::open(Native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.ok())
        return false;
    created = true;
    if (::fchmod(out.get(), 0600) != 0)
        return false;
    char buffer[1 << 16];
    qint64 offset = 0;
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (!WriteAll(out.get(), buffer, got, offset))
            return false;
        offset += got;
    }
    return ::fsync(out.get()) == 0 && out.Close() && SyncFolder(FolderOf(path));
}

} // namespace

FileMailboxes::FileMailboxes(QString dataDir, qint64 maxBytes, QStringList rescueDirs)
    : m_dataDir(std::move(dataDir)), m_maxBytes(maxBytes), m_rescueDirs(std::move(rescueDirs)) {
    if (m_dataDir.isEmpty())
        m_dataDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                    QStringLiteral("/kobu/varnel");
    if (m_rescueDirs.isEmpty())
        m_rescueDirs = QStringList{QDir::homePath(), QDir::tempPath()};
}

QString FileMailboxes::PathOf(const QString& name) const {
    if (QFileInfo(name).isAbsolute())
        return name;
    return QDir(m_dataDir).filePath(name);
}

QString FileMailboxes::LinkTargetOf(const QString& name) const {
    const QString path = PathOf(name);
    const QString target = Resolved(path);
    return target == path ? QString() : target;
}

NameProblem FileMailboxes::ProblemOf(const QString& name) const {
    const NameProblem problem = MailboxNameProblem(name);
    if (problem)
        return problem;
    const QString path = QDir::cleanPath(PathOf(name));
    if (path == QDir::cleanPath(QDir(m_dataDir).filePath(QString::fromLatin1(kLockName))))
        return {NameProblem::LockFile};
    struct stat st {};
    if (::stat(Native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return {NameProblem::IsFolder};
    return {};
}

FolderLock FileMailboxes::Lock() {
    FolderLock lock;
    lock.folder = m_dataDir;
    lock.lockFile = QDir(m_dataDir).filePath(QString::fromLatin1(kLockName));
    const auto fail = [&](int code) {
        lock.outcome = FolderLock::Failed;
        lock.reason = Reason(code);
        return lock;
    };
    if (m_lock >= 0)
        return lock;
    if (!MakeFolder(m_dataDir))
        return fail(errno);
    // Opening never changes the file: a copy that finds the folder held leaves it as it found it.
    const QByteArray path = Native(lock.lockFile);
    Fd fd(::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.ok())
        return fail(errno);
    // flock works across machines on the network file systems that support locks (NFS maps it to a
    // lock of the whole file); the system lets go of it when the holder ends, however it ends.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK)
            return fail(errno);
        lock.outcome = FolderLock::Held;
        QByteArray holder;
        char buffer[256];
        const ssize_t got = ::pread(fd.get(), buffer, sizeof buffer, 0);
        if (got > 0)
            holder = QByteArray(buffer, got).trimmed();
        // "HOST PID": what the holder wrote; shown only as plain text.
        const QList<QByteArray> fields = holder.split(' ');
        if (fields.size() == 2) {
            lock.host = QString::fromUtf8(fields[0]).left(64);
            lock.pid = fields[1].toLongLong();
        }
        return lock;
    }
    ::fchmod(fd.get(), 0600);
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    const QByteArray holder = QByteArray(host) + ' ' + QByteArray::number(qint64(::getpid())) + '\n';
    // Who holds the folder is for the person only: a failure to say it changes nothing.
    if (::ftruncate(fd.get(), 0) == 0)
        WriteAll(fd.get(), holder.constData(), holder.size(), 0);
    m_lock = fd.Release();
    return lock;
}

FileMailboxes::~FileMailboxes() {
    if (m_lock >= 0)
        ::close(m_lock);
}

MailboxFiles::Loaded FileMailboxes::Load(const QString& name) {
    Loaded loaded;
    Fd fd(::open(Native(PathOf(name)).constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.ok()) {
        // Not there (a link that leads nowhere included): the mailbox starts empty.
        if (errno != ENOENT && errno != ENOTDIR)
            loaded.error = Reason(errno);
        return loaded;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        loaded.error = Reason(errno);
        return loaded;
    }
    if (S_ISDIR(st.st_mode)) {
        loaded.error = Reason(EISDIR);
        return loaded;
    }
    loaded.size = st.st_size;
    if (st.st_size > m_maxBytes) {
        loaded.tooLarge = true;
        return loaded;
    }
    if (!ReadAll(fd.get(), m_maxBytes, loaded.bytes)) {
        if (errno == EFBIG) {
            loaded.tooLarge = true;
        } else {
            loaded.error = Reason(errno);
        }
        loaded.bytes.clear();
        return loaded;
    }
    loaded.exists = true;
    const qsizetype zero = loaded.bytes.indexOf('\0');
    if (zero >= 0) {
        loaded.bytes.truncate(zero);
        loaded.cutAtZero = true;
    }
    return loaded;
}

bool FileMailboxes::Save(const QString& name, const QByteArray& bytes, QString& error) {
    const QString path = PathOf(name);
    const QString target = Resolved(path);
    const QString folder = FolderOf(target);
    const auto fail = [&](int code) {
        error = Reason(code);
        return false;
    };
    // The data folder is made when missing; the folder a link leads to is not.
    if (target == path && !MakeFolder(folder))
        return fail(errno);
    QByteArray temp = Native(folder + QStringLiteral("/.") + QFileInfo(target).fileName()) + ".XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.ok())
        return fail(errno);
    if (::fchmod(fd.get(), 0600) != 0 || !WriteAll(fd.get(), bytes.constData(), bytes.size(), 0) ||
        ::fsync(fd.get()) != 0 || !fd.Close() ||
        ::rename(temp.constData(), Native(target).constData()) != 0) {
        const int code = errno;
        ::unlink(temp.constData());
        return fail(code);
    }
    if (!SyncFolder(folder))
        return fail(errno);
    return true;
}

bool FileMailboxes::KeepAside(const QString& name, bool journal, QString& copy, QString& error) {
    const QString source = journal ? JournalPathOf(name) : PathOf(name);
    Fd in(::open(Native(source).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (journal ? O_NOFOLLOW : 0)));
    if (!in.ok()) {
        error = Reason(errno);
        return false;
    }
    // ".bak", then ".bak2", ".bak3" ...: an earlier copy is never replaced.
    for (int n = 1; n < 10000; ++n) {
        copy = source + QStringLiteral(".bak") + (n == 1 ? QString() : QString::number(n));
        bool created = false;
        if (CopyInto(in.get(), copy, created))
            return true;
        const int code = errno;
        if (created)
            ::unlink(Native(copy).constData());
        if (code != EEXIST) {
            error = Reason(code);
            return false;
        }
    }
    error = Reason(EEXIST);
    return false;
}

bool FileMailboxes::WriteJournal(const QString& name, qint64 offset, const QByteArray& bytes,
                                 QString& error) {
    const QString path = JournalPathOf(name);
    const QString folder = FolderOf(path);
    if (!MakeFolder(folder)) {
        error = Reason(errno);
        return false;
    }
    bool created = false;
    int raw = ::open(Native(path).constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (raw < 0 && errno == ENOENT) {
        raw = ::open(Native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        created = raw >= 0;
    }
    Fd fd(raw);
    struct stat st {};
    if (!fd.ok() || ::fstat(fd.get(), &st) != 0 || (created && ::fchmod(fd.get(), 0600) != 0)) {
        error = Reason(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = Reason(EINVAL);
        return false;
    }
    if (st.st_size < offset) {
        error = JournalShortened();
        return false;
    }
    // Whatever stands after offset is a write that never completed, or an old journal: cut first,
    // so that no old frame can ever follow the new ones.
    if ((st.st_size != offset && ::ftruncate(fd.get(), off_t(offset)) != 0) ||
        !WriteAll(fd.get(), bytes.constData(), bytes.size(), offset) || ::fdatasync(fd.get()) != 0 ||
        !fd.Close() || (created && !SyncFolder(folder))) {
        error = Reason(errno);
        return false;
    }
    return true;
}

MailboxFiles::Journal FileMailboxes::ReadJournal(const QString& name) {
    Journal journal;
    const QByteArray path = Native(JournalPathOf(name));
    // Non-blocking: a FIFO put there must not hold up the start.
    Fd fd(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const auto fail = [&](int code) {
        journal.state = Journal::Unreadable;
        journal.reason = Reason(code);
        journal.bytes.clear();
        return journal;
    };
    if (!fd.ok()) {
        const int code = errno;
        struct stat st {};
        if (code == ELOOP && ::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            journal.state = Journal::Link;
        else if (code != ENOENT && code != ENOTDIR)
            return fail(code);
        return journal;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return fail(errno);
    if (!S_ISREG(st.st_mode))
        return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    // A journal is folded long before it is this large; one larger is not ours.
    if (!ReadAll(fd.get(), 2 * m_maxBytes + 1024 * 1024, journal.bytes))
        return fail(errno);
    journal.state = Journal::Read;
    return journal;
}

bool FileMailboxes::RemoveJournal(const QString& name, QString& error) {
    const QString path = JournalPathOf(name);
    if (::unlink(Native(path).constData()) != 0 && errno != ENOENT) {
        error = Reason(errno);
        return false;
    }
    if (!SyncFolder(FolderOf(path))) {
        error = Reason(errno);
        return false;
    }
    return true;
}

bool FileMailboxes::Rescue(const QString& name, const QByteArray& bytes, QString& where, QString& error) {
    const QString file = QFileInfo(PathOf(name)).fileName() + QStringLiteral(".rescued-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (const QString& folder : m_rescueDirs) {
        for (int n = 1; n < 100; ++n) {
            where = QDir(folder).filePath(file + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)));
            Fd fd(::open(Native(where).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                         0600));
            if (!fd.ok() && errno == EEXIST)
                continue;
            if (fd.ok() && ::fchmod(fd.get(), 0600) == 0 &&
                WriteAll(fd.get(), bytes.constData(), bytes.size(), 0) && ::fsync(fd.get()) == 0 &&
                fd.Close() && SyncFolder(folder))
                return true;
            error = Reason(errno);
            if (fd.ok())
                ::unlink(Native(where).constData());
            break;
        }
    }
    return false;
}

} // namespace varnel
