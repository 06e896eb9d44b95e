#include "ui/shell_services.h"

namespace zelmora {

ShellServices& Shell() {
    static ShellServices services;
    return services;
}

void ShellCaptureMouse(bool capture) {
    if (Shell().captureMouse) Shell().captureMouse(capture);
}

void ShellSetCursor(CursorShape shape) {
    if (Shell().setCursor) Shell().setCursor(shape);
}

}  // namespace zelmora
