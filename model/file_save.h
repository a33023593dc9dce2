// Saving a small file the way users expect of a desktop program: a symbolic
// link is written through, a read-only file is refused, the file keeps its
// mode, owner, group and hard links, and a failed save leaves the previous
// content and no stray file behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Replaces the content of the file at path (or creates it) with size bytes.
// Normally the bytes go to a new file in the same folder (unique name, mode
// 0600 while it is written, flushed to disk) that then takes the old file's
// place atomically. The file is written through instead (truncated, written
// and flushed in place) when it has other hard links, which a replacement
// would cut off, or when the folder cannot take a new file.
// On failure returns false with the cause in error ("Permission denied");
// the previous content is kept except where an in-place write itself fails.
bool SaveFileContent(const std::string& path, const std::uint8_t* data, std::size_t size, std::string& error);
