#pragma once

#include <string>
#include <string_view>

namespace mx {

// Text that came from outside (file contents, names, link targets,
// arguments) made safe to show on a terminal or in a window: control
// characters, DEL, the C1 controls some terminals obey, a backslash (not on
// Windows, where it separates folders), and bytes that are not UTF-8 are
// written as escapes (\n, \r, \t, \\, \x1b, \xff), so that nothing can
// retitle, clear or rewrite what is shown, or hide part of a message. Valid
// UTF-8 text is kept as it is.
std::string printable(std::string_view bytes);

} // namespace mx
