#include "model/tovask_doc.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "model/file_save.h"

namespace fs = std::filesystem;

namespace {

std::string FileNameOf(const std::string& path) { return fs::path(path).filename().string(); }

std::string SystemError(int err) { return std::error_code(err, std::generic_category()).message(); }

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

void CTovaskDoc::SetState(const TemplateState& state)
{
    record = state.record;
    image = state.image;
    imageTrailer = state.imageTrailer;
    fieldChanged = state.fieldChanged;
    needsDecode = state.needsDecode;
}

bool CTovaskDoc::OnNewDocument()
{
    if (m_view)
        m_view->HideFieldEditors();
    title = "Template";
    pathName.clear();
    ResetImage();
    needsDecode = 1;
    m_modified = false;
    if (m_view)
        m_view->OnDocumentChanged();
    return true;
}

CTovaskDoc::FileStatus CTovaskDoc::ReadImageFile(const std::string& path, ConfigImage& out)
{
    FileStatus status;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        // Windows refuses to open a folder as a file with "Permission denied".
        std::error_code ec;
        const bool folder = std::filesystem::is_directory(path, ec);
        status.result = OpenResult::CannotOpen;
        status.error = SystemError(folder ? EISDIR : errno);
        return status;
    }
    ConfigImage bytes{};
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    const int readError = std::ferror(file) ? errno : 0;  // a folder reads as "Is a directory"
    std::fclose(file);
    if (readError != 0) {
        status.result = OpenResult::CannotOpen;
        status.error = SystemError(readError);
    } else if (got == 0) {
        status.result = OpenResult::Empty;
    } else if (got < bytes.size()) {
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
    m_modified = false;
    if (m_view)
        m_view->OnDocumentChanged();
    return status;
}

bool CTovaskDoc::WriteImageFile(const std::string& path, const ConfigImage& data, std::string& error)
{
    return SaveFileContent(path, data.data(), data.size(), error);
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
    m_modified = false;
    return status;
}
