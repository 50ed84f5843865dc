#include "run/program.h"

#include <csignal>
#include <vector>

#include "platform/terminal_console.h"
#include "run/batch_run.h"
#include "run/options.h"
#include "run/run_flow.h"

#ifdef ORVEL_WITH_SDL
#include "platform/sdl_window.h"
#else
#include "platform/offscreen_window.h"
#endif

namespace orvel {

int programMain(int argc, char** argv) {
    // Console output that nobody reads any more (a closed pipe) is lost, as the console says;
    // the run itself goes on and finishes its log and results.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const CommandLine command = parseCommandLine(args);
    TerminalConsole console;
    switch (command.mode) {
        case CommandLine::Mode::help:
            console.print(helpText());
            return 0;
        case CommandLine::Mode::version:
            console.print(versionText());
            return 0;
        case CommandLine::Mode::error: {
            TerminalConsole errors(0, 2);
            errors.printLine("orvel: " + command.error);
            return 2;
        }
        case CommandLine::Mode::batch:
            try {
                return runBatch(command.options, console);
            } catch (const OptionRefused& refused) {
                TerminalConsole errors(0, 2);
                errors.printLine("orvel: " + refused.message);
                return 2;
            }
        case CommandLine::Mode::interactive:
            break;
    }
#ifdef ORVEL_WITH_SDL
    SdlWindow window, plotWindow, magnifierWindow;
#else
    OffscreenWindow window, plotWindow, magnifierWindow;
#endif
    // The windows keep painting and recording clicks while the console waits for a line (they
    // share one event queue, so one pump serves them all).
    console.setIdle([&window] { window.pumpEvents(); });
    const RunOptions& options = command.options.run;
    RunEnvironment env{console, window,
                       options.folder == "." ? std::filesystem::current_path() : options.folder,
                       options};
    env.plotWindow = &plotWindow;
    env.magnifierWindow = &magnifierWindow;
    env.givenWords = command.givenWords;
    return runOrvel(env);
}

}  // namespace orvel
