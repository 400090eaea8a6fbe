#include "platform/filemailboxes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Plain POSIX calls rather than QFile and QSaveFile: each failure must say the system's own reason
// (a full disk must not come back as "Unknown error"), and the folder must be flushed after a file
// appears in it or is renamed, or the file may be gone after a power cut.

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
    return ::mkdir(Native(clean).constData(), 0700) == 0 || errno == EEXIST;
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
    Fd out(::open(Native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out.ok())
        return false;
    created = true;
    ::fchmod(out.get(), 0600);
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

QString FileMailboxes::NameProblem(const QString& name) const {
    const QString problem = MailboxNameProblem(name);
    if (!problem.isEmpty())
        return problem;
    struct stat st {};
    if (::stat(Native(PathOf(name)).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return QStringLiteral("フォルダです");
    return {};
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
        if (target != path)
            error += QStringLiteral("（リンク先 %1）").arg(target);
        return false;
    };
    // The data folder is made when missing; the folder a link leads to is not.
    if (target == path && !MakeFolder(folder))
        return fail(errno);
    QByteArray temp = Native(folder + QStringLiteral("/.") + QFileInfo(target).fileName()) + ".XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.ok())
        return fail(errno);
    if (!WriteAll(fd.get(), bytes.constData(), bytes.size(), 0) || ::fsync(fd.get()) != 0 || !fd.Close() ||
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
    Fd in(::open(Native(source).constData(), O_RDONLY | O_CLOEXEC));
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
    int raw = ::open(Native(path).constData(), O_WRONLY | O_CLOEXEC);
    if (raw < 0 && errno == ENOENT) {
        raw = ::open(Native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        created = raw >= 0;
    }
    Fd fd(raw);
    struct stat st {};
    if (!fd.ok() || ::fstat(fd.get(), &st) != 0) {
        error = Reason(errno);
        return false;
    }
    if (st.st_size < offset) {
        error = QStringLiteral("変更記録 %1 が外から短くされています").arg(path);
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

bool FileMailboxes::ReadJournal(const QString& name, QByteArray& bytes, QString& error) {
    error.clear();
    bytes.clear();
    Fd fd(::open(Native(JournalPathOf(name)).constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.ok()) {
        if (errno != ENOENT && errno != ENOTDIR)
            error = Reason(errno);
        return false;
    }
    // A journal is folded long before it is this large; one larger is not ours.
    if (!ReadAll(fd.get(), 2 * m_maxBytes + 1024 * 1024, bytes)) {
        error = Reason(errno);
        bytes.clear();
        return false;
    }
    return true;
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
            Fd fd(::open(Native(where).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            if (!fd.ok() && errno == EEXIST)
                continue;
            if (fd.ok() && WriteAll(fd.get(), bytes.constData(), bytes.size(), 0) && ::fsync(fd.get()) == 0 &&
                fd.Close() && SyncFolder(folder))
                return true;
            error = QStringLiteral("%1: %2").arg(where, Reason(errno));
            if (fd.ok())
                ::unlink(Native(where).constData());
            break;
        }
    }
    return false;
}

} // namespace varnel
