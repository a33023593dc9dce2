// A template file of any length: the document takes exactly the first 64
// bytes, keeps everything for an empty file, starts afresh for a short one,
// and what it opened saves back to the normal form of those bytes.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_targets.h"
#include "model/tovask_doc.h"

namespace fs = std::filesystem;

namespace {

const fs::path& ScratchFolder()
{
    static const fs::path folder = [] {
        fs::path p = fs::temp_directory_path() / ("tovask-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return folder;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int FuzzTemplateFile(const std::uint8_t* data, std::size_t size)
{
    const fs::path input = ScratchFolder() / "input.mtl";
    const fs::path saved = ScratchFolder() / "saved.mtl";
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    // A document that has been edited, so that "kept" and "started afresh" differ.
    CTovaskDoc doc;
    doc.record.formatFields[0].text = "KEEP";
    doc.record.outputDelay = 77;
    doc.image[5] = 0x41;
    const TemplateRecord recordBefore = doc.record;
    const ConfigImage imageBefore = doc.image;

    const CTovaskDoc::FileStatus status = doc.OpenDocument(input.string());
    if (size == 0) {
        FUZZ_CHECK(status.result == CTovaskDoc::OpenResult::Empty);
        FUZZ_CHECK(doc.record == recordBefore);
        FUZZ_CHECK(doc.image == imageBefore);
        FUZZ_CHECK(doc.PathName() == input.string());
        return 0;
    }
    if (size < imageSize) {
        FUZZ_CHECK(status.result == CTovaskDoc::OpenResult::TooShort);
        FUZZ_CHECK(status.error == "Unexpected file format.");
        FUZZ_CHECK(doc.image == DefaultImage());
        return 0;
    }
    FUZZ_CHECK(status.result == CTovaskDoc::OpenResult::Ok);
    FUZZ_CHECK(std::memcmp(doc.image.data(), data, imageSize) == 0);
    FUZZ_CHECK(doc.needsDecode != 0);
    CheckImageRoundTrip(doc.image);

    // Open, decode, save: the file holds the normal form, and opening it
    // again gives the same record.
    doc.DecodeImage();
    const TemplateRecord decoded = doc.record;
    const CTovaskDoc::SaveStatus save = doc.SaveDocument(saved.string());
    FUZZ_CHECK(save.result == CTovaskDoc::SaveResult::Ok);
    const std::string bytes = ReadAll(saved);
    FUZZ_CHECK(bytes.size() == static_cast<std::size_t>(imageSize));
    FUZZ_CHECK(bytes.size() == static_cast<std::size_t>(imageSize) &&
               std::memcmp(bytes.data(), NormalisedImage(doc.image).data(), imageSize) == 0);
    CTovaskDoc reopened;
    FUZZ_CHECK(reopened.OpenDocument(saved.string()).result == CTovaskDoc::OpenResult::Ok);
    reopened.DecodeImage();
    FUZZ_CHECK(reopened.record == decoded);
    return 0;
}

int FuzzEscapeText(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string bytes = UnescapeText(text);
    const int count = static_cast<int>(bytes.size());
    if (IsEscapedTextValid(text, 1 << 20)) {
        // A valid text stands for exactly the bytes UnescapeText gives.
        FUZZ_CHECK(IsEscapedTextValid(text, count));
        FUZZ_CHECK(count == 0 || !IsEscapedTextValid(text, count - 1));
        FUZZ_CHECK(UnescapeText(EscapeText(bytes)) == bytes);
    }
    // Any bytes written in the notation read back as themselves, and the
    // written text is valid for exactly that many bytes.
    const std::string raw(text);
    const std::string escaped = EscapeText(raw);
    FUZZ_CHECK(UnescapeText(escaped) == raw);
    FUZZ_CHECK(IsEscapedTextValid(escaped, static_cast<int>(raw.size())));
    FUZZ_CHECK(raw.empty() || !IsEscapedTextValid(escaped, static_cast<int>(raw.size()) - 1));
    FUZZ_CHECK(EscapeText(UnescapeText(escaped)) == escaped);
    return 0;
}
