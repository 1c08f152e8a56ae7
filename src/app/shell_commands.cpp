// Commands of the application shell: processing report, help, about, exit.
#include <cstring>
#include <string>

#include "app/mouse_dispatch.h"
#include "app/subsystems.h"
#include "core/dialog.h"
#include "core/messages.h"
#include "core/program.h"
#include "core/version.h"

namespace kvr {

// Message 50 with the processing history: line 0 always, then further lines while each has more
// than one character.
void processing_history(Program& p) {
    std::string text;
    for (int i = 0; i < kHistoryLines && i < 15; ++i) {
        const char* line = p.shell.process_info[i];
        const size_t n = strnlen(line, kHistoryLineBytes);
        if (i > 0 && n <= 1) break;
        text.append(line, n);
        text += " \n";
    }
    message50(p, text);
}

void help_using(Program& p) {
    if (!p.host.show_help()) {
        MessageBox box;
        box.caption = kMessageCaption;
        box.text = "WinHelp failed!";
        box.icon = BoxIcon::Stop;
        p.host.message_box(box);
    }
}

void help_about(Program& p) {
    AboutDialog about(p);
    p.host.run_modal(about);
}

void exit_program(Program& p) {
    close_camera_link(p);
    p.exit_requested = true;
}

void register_shell_commands(Program& p) {
    static constexpr CommandRow kRows[] = {
        {Cmd::ProcessingHistory, "processing_history", processing_history, "Processing &History"},
        {Cmd::Help, "help_using", help_using, "&Help"},
        {Cmd::About, "help_about", help_about, "&About KVR_Q4..."},
        {Cmd::Exit, "exit_program", exit_program, "E&xit", "Alt+X"},
        {Cmd::FocusFrameReset, "reset_focus_frame", reset_focus_frame,
         "Default Focus Frame Centre"},
    };
    p.commands.add(kRows);
    install_mouse_handlers(p);
}

}  // namespace kvr
