// Probes that the PATH search report runs on each copy of a DLL it finds: the version text,
// whether a module of that name is loaded in this process and whether it could be, and
// whether the file is a 32-bit or an x64 image. None of them loads the file or runs its code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fileinfo/file_record.h"

namespace fileinfo {

// The high and the low 16 bits of a 32-bit value, 0 to 65535.
std::uint32_t apiHiWord(std::uint32_t LongVal);
std::uint32_t apiLoWord(std::uint32_t LongVal);

// The version text of the file, "" when it has none or cannot be read.
std::string GetFileVersionData(std::string_view fname);

// True when a module named `name` is loaded in this process. Otherwise `canBeLoaded` tells
// whether the DLL file at `filePath` (or, without one, the file that the library search finds
// for `name`) could be loaded; it is left as it was when the module is loaded.
bool is_dll_loaded(std::string_view name, bool& canBeLoaded, std::string_view filePath = {});

// Whether the DLL file at `path` could be loaded into this process: its machine type is the
// process's, and every DLL it imports directly is loaded already or found by the library
// search. Decided from the file's bytes alone.
bool CanDllBeLoaded(std::string_view path);

// The same answer from a record of the file.
bool CanDllBeLoaded(const FileRecord& record);
// The first DLL that the image imports directly and that is neither loaded in this process nor
// found by the library search; "" when there is none or the file is no image.
std::string FirstMissingImport(const FileRecord& record);

// 1 for a 32-bit x86 image, 2 for an x64 image, 0 for anything else or an unreadable file.
int get_dll_machine_type(std::string_view path);

}  // namespace fileinfo
