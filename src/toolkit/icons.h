// The program's two icons, from the Qt resource system: the main window's and the about box's.
#pragma once

class QIcon;

namespace toolkit {

inline constexpr char kMainIconPath[] = ":/icons/parlatrix.svg";
inline constexpr char kAboutIconPath[] = ":/icons/about.svg";

QIcon MainIcon();
QIcon AboutIcon();
// Any icon of the program's resources, by its resource path.
QIcon ResourceIcon(const char* path);

}  // namespace toolkit
