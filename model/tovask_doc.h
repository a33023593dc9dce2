// The application's single document: one template record, its Configuration
// image with the trailer, the flags that tie the two together, and the
// template file (.mtl, exactly one image).
#pragma once

#include <array>
#include <string>

#include "model/config_image.h"
#include "model/diagram_tables.h"
#include "model/template_record.h"

// What the document asks of its view. Until a view is attached both are
// no-ops, and taking the panel into the record always succeeds.
class IDocView {
public:
    virtual ~IDocView() = default;
    // Closes an edit in progress without applying it.
    virtual void HideFieldEditors() = 0;
    // Takes the settings panel into the record; false when a panel value was
    // refused (the view has then shown its message) and the caller must abandon.
    virtual bool UpdateTemplateFromPanel() = 0;
    // The document's content was replaced (New, Open); redraw.
    virtual void OnDocumentChanged() = 0;
};

// Everything an edit of the template can change, as one value: undoing an
// edit puts the value from before it back.
struct TemplateState {
    TemplateRecord record;
    ConfigImage image{};
    ImageTrailer imageTrailer{};
    std::array<int, formatFieldCount> fieldChanged{};
    int needsDecode = 0;

    bool operator==(const TemplateState&) const = default;
};

class CTovaskDoc {
public:
    static constexpr const char* docString =
        "Tovask\n\nTovask\nTovask Files (*.mtl)\n.mtl\nTovask.Document\nTovask Document";
    static constexpr const char* unexpectedFileFormat = "Unexpected file format.";

    CTovaskDoc();

    void SetView(IDocView* view) { m_view = view; }
    IDocView* View() const { return m_view; }

    // Default image and trailer, changed marks cleared; the record is untouched.
    void ResetImage();
    void EncodeImage() { ::EncodeImage(record, image); }
    void DecodeImage() { ::DecodeImage(image, record); }

    // File New: closes the field editor, resets the image and title; the next
    // paint decodes the default image.
    bool OnNewDocument();

    enum class OpenResult {
        Ok,            // 64 bytes or more: the first 64 are the new image
        Empty,         // 0 bytes: the name is taken, image and record are kept
        TooShort,      // 1 to 63 bytes: "Unexpected file format."; continues as New
        CannotOpen,    // missing or unreadable: the document is unchanged
    };
    struct FileStatus {
        OpenResult result = OpenResult::Ok;
        std::string error;  // for CannotOpen: what the system said ("No such file or directory")
    };
    // File Open of path.
    FileStatus OpenDocument(const std::string& path);

    enum class SaveResult {
        Ok,
        Abandoned,  // the view refused a panel value; nothing was encoded or written
        Failed,     // the file could not be written; the previous file is intact
    };
    struct SaveStatus {
        SaveResult result = SaveResult::Ok;
        std::string error;
    };
    // Save and Save As: takes the panel into the record, encodes, then saves
    // the file by the rules of SaveFileContent (model/file_save.h).
    SaveStatus SaveDocument(const std::string& path);

    // Reads the first 64 bytes of a file: the file rule shared with the command-line tool.
    static FileStatus ReadImageFile(const std::string& path, ConfigImage& out);
    // Saves 64 bytes by the rules of SaveFileContent; error is the cause of a failure.
    static bool WriteImageFile(const std::string& path, const ConfigImage& image, std::string& error);

    void ClearFieldChanged() { fieldChanged.fill(0); }

    TemplateState State() const { return {record, image, imageTrailer, fieldChanged, needsDecode}; }
    void SetState(const TemplateState& state);

    // True while the template holds edits that are in no file: set by the
    // editor for each edit, cleared by New, Open and a successful save.
    bool IsModified() const { return m_modified; }
    void SetModifiedFlag(bool modified) { m_modified = modified; }

    // Title shown in the window caption: "Template" or the file's name.
    const std::string& Title() const { return title; }
    const std::string& PathName() const { return pathName; }

    int needsDecode = 0;
    ConfigImage image{};
    ImageTrailer imageTrailer{};
    std::string title;
    std::string pathName;
    TemplateRecord record;
    DiagramTables diagram;
    std::array<int, formatFieldCount> fieldHovered{};
    std::array<int, formatFieldCount> fieldChanged{};

private:
    IDocView* m_view = nullptr;
    bool m_modified = false;
};
