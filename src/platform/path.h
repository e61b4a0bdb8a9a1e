// Path helpers on byte strings with '/' as the separator. The save routine, the file dialogs and
// the windows that remember folders all use these.
#pragma once

#include <string>

namespace platform {

// The folder part of a path ("/a/b/c.dlg" -> "/a/b"; "/c.dlg" -> "/"; "c.dlg" -> ".").
std::string FolderOf(const std::string& path);

// The last component of a path ("/a/b/c.dlg" -> "c.dlg").
std::string BaseNameOf(const std::string& path);

// `name` with "." and `ext` appended when its last path component has no extension.
std::string WithDefaultExtension(const std::string& name, const std::string& ext);

// The process's current directory, whatever its length; empty if it cannot be found.
std::string CurrentDirectory();

}  // namespace platform
