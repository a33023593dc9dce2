#include "model/tovask_doc.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string FileNameOf(const std::string& path) { return fs::path(path).filename().string(); }

std::string SystemError(int err) { return std::error_code(err, std::generic_category()).message(); }

#ifndef _WIN32
// Writes all bytes to a fresh file and flushes them to the disk.
bool WriteAndSync(const std::string& path, const ConfigImage& image, std::string& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = SystemError(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < image.size()) {
        const ssize_t n = ::write(fd, image.data() + done, image.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = SystemError(errno);
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        error = SystemError(errno);
        ::close(fd);
        return false;
    }
    if (::close(fd) != 0) {
        error = SystemError(errno);
        return false;
    }
    return true;
}
#else
bool WriteAndSync(const std::string& path, const ConfigImage& image, std::string& error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    out.flush();
    if (!out) {
        error = "write failed";
        return false;
    }
    return true;
}
#endif

}  // namespace

CTovaskDoc::CTovaskDoc()
{
    title = "Template";
    needsDecode = 0;
    InitDiagramTables(diagram);
    for (int k = 0; k < formatFieldCount; ++k) {
        FormatField& f = record.formatFields[k];
        switch (FieldInfoAt(k).kind) {
        case FieldKind::Switch:
            f.text = "Disable";
            f.enabled = 0;
            break;
        case FieldKind::Data:
            f.text = "***";
            break;
        default:
            f.text.clear();
            break;
        }
    }
    ResetImage();
    needsDecode = 1;
    // The reader options keep the record's first values until the first paint decodes the image.
}

void CTovaskDoc::ResetImage()
{
    image = DefaultImage();
    imageTrailer = DefaultTrailer();
    ClearFieldChanged();
}

bool CTovaskDoc::OnNewDocument()
{
    if (m_view)
        m_view->HideFieldEditors();
    title = "Template";
    pathName.clear();
    ResetImage();
    needsDecode = 1;
    if (m_view)
        m_view->OnDocumentChanged();
    return true;
}

CTovaskDoc::FileStatus CTovaskDoc::ReadImageFile(const std::string& path, ConfigImage& out)
{
    FileStatus status;
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    if (!in || fs::is_directory(path, ec)) {
        status.result = OpenResult::CannotOpen;
        status.error = fs::exists(path, ec) ? "the file cannot be read" : "the file does not exist";
        return status;
    }
    ConfigImage bytes{};
    in.read(reinterpret_cast<char*>(bytes.data()), imageSize);
    const auto got = in.gcount();
    if (in.bad()) {
        status.result = OpenResult::CannotOpen;
        status.error = "the file cannot be read";
    } else if (got == 0) {
        status.result = OpenResult::Empty;
    } else if (got < imageSize) {
        status.result = OpenResult::TooShort;
        status.error = unexpectedFileFormat;
    } else {
        out = bytes;  // bytes after the first 64 are ignored
    }
    return status;
}

CTovaskDoc::FileStatus CTovaskDoc::OpenDocument(const std::string& path)
{
    ConfigImage loaded{};
    FileStatus status = ReadImageFile(path, loaded);
    switch (status.result) {
    case OpenResult::CannotOpen:
        return status;  // the document stays as it was
    case OpenResult::TooShort:
        OnNewDocument();
        return status;
    case OpenResult::Empty:
        break;  // nothing to read: only the name changes
    case OpenResult::Ok:
        image = loaded;
        needsDecode = 1;
        ClearFieldChanged();
        break;
    }
    pathName = path;
    title = FileNameOf(path);
    if (m_view)
        m_view->OnDocumentChanged();
    return status;
}

bool CTovaskDoc::WriteImageFile(const std::string& path, const ConfigImage& data, std::string& error)
{
    // The previous file is replaced only once the new content is safely on disk.
    const fs::path target(path);
    fs::path temp = target;
    temp += ".tovask-tmp";
    std::error_code ec;
    fs::remove(temp, ec);
    if (!WriteAndSync(temp.string(), data, error))
        return false;
    fs::rename(temp, target, ec);
    if (ec) {
        error = ec.message();
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

CTovaskDoc::SaveStatus CTovaskDoc::SaveDocument(const std::string& path)
{
    SaveStatus status;
    if (m_view && !m_view->UpdateTemplateFromPanel()) {
        status.result = SaveResult::Abandoned;
        return status;
    }
    EncodeImage();
    if (!WriteImageFile(path, image, status.error)) {
        status.result = SaveResult::Failed;
        return status;
    }
    pathName = path;
    title = FileNameOf(path);
    return status;
}
