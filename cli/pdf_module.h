#pragma once

// mxcfg's PDF module: the sheet's renderer, which needs QtGui, in a shared
// object that mxcfg loads only for the commands that write PDF, so that
// every other command starts without QtGui.

#include "sheet.h"

#include <QByteArray>
#include <vector>

namespace mx {

// Draws each document as PDF, into pdfs in the same order. The module runs
// a QGuiApplication of its own on the offscreen platform, so no other
// application object may exist while it runs.
using RenderPdfs = void (*)(const std::vector<SheetDocument>& documents,
                            std::vector<QByteArray>& pdfs);

// The module's one entry point.
inline constexpr const char* RenderPdfsName = "mxcfgRenderPdfs";

} // namespace mx
