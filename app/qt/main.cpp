// Process entry of the mascot program: command line, the GUI thread, the dialog and application
// threads, and the teardown in order.
#include "MainApp.h"
#include "MascotEngine.h"
#include "MzAutostart.h"
#include "MzMascotFolder.h"
#include "MzSquirrel.h"
#include "QtHost.h"
#include "QtSingleInstance.h"

#include <QApplication>
#include <QDir>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>

namespace {

constexpr const char* kUsage =
    "Usage: mascot [OPTIONS] [FOLDER]\n"
    "Shows the characters of a mascot folder (config.nut and its scripts) on the desktop.\n"
    "FOLDER defaults to the working directory, or to the installed sample when the working\n"
    "directory has no config.nut.\n"
    "\n"
    "  --log-stderr  also write every script-log entry to stderr\n"
    "  --help        show this help and exit\n"
    "  --version     show the version and exit\n";

struct Options {
    std::optional<std::string> folder;
    bool logToStderr = false;
};

// Parses the command line; a value means "exit now with this status".
std::optional<int> ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!std::strcmp(arg, "--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!std::strcmp(arg, "--version")) {
            std::printf("mascot %s\n", MZ_VERSION);
            return 0;
        }
        if (!std::strcmp(arg, "--log-stderr")) {
            options.logToStderr = true;
            continue;
        }
        if (arg[0] == '-' || options.folder) {
            std::fprintf(stderr, "mascot: unexpected argument '%s'\n%s", arg, kUsage);
            return 2;
        }
        options.folder = arg;
    }
    return std::nullopt;
}

// A worker thread that says when it has finished, so that the GUI thread can keep serving its
// requests (error boxes) while it waits for the join.
class Worker {
  public:
    template <typename F>
    explicit Worker(F body)
        : m_thread([this, body] {
              body();
              m_done = true;
          }) {}

    void JoinServingEvents() {
        while (!m_done) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_thread.join();
    }

  private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// The one script VM outlives the application object and everything that holds script values.
class ScriptVM {
  public:
    ScriptVM() { MzSquirrel::Initialize(); }
    ~ScriptVM() { MzSquirrel::Shutdown(); }
};

// A second start for a folder that already runs brings that instance's script log forward.
int JoinRunningInstance(const QtSingleInstance& instance) {
    if (instance.NotifyRunning()) {
        std::fputs("mascot: this folder already runs; its script log is shown\n", stderr);
        return 0;
    }
    std::fputs("mascot: this folder already runs, but the running program does not answer\n", stderr);
    return 1;
}

// The window's shape, its OpenGL buffers and the mask are all in device pixels, so the picture is
// sharp at any density; Qt's scaling of logical pixels, from the screen's density or a scale factor
// in the environment, would cut the silhouette at the wrong size. Text still follows the font DPI.
void UseDevicePixels() {
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
}

int Run(int argc, char** argv, const Options& options) {
    UseDevicePixels();
    QApplication qapp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QtSingleInstance instance(QDir::currentPath());
    if (!instance.Claim()) return JoinRunningInstance(instance);
    QtErrorBox errorBox;
    MzSetErrorBoxView(&errorBox);

    ScriptVM vm;
    MascotEngine engine;
    MainApp app(engine);
    engine.SetApp(&app);
    app.LoadConfig();
    MzAutostart autostart(MzAutostart::DefaultEntryFile(), MzProgramPath(), std::filesystem::current_path(),
                          app.name);
    app.SetAutostart(&autostart);
    QtHost host(app);
    if (!host.Create()) {
        MzErrorBox("ERROR: CreateWindow", "ウインドウが生成できませんでした。");
        MzSetErrorBoxView(nullptr);
        return 1;
    }
    engine.SetWindow(&host.Window());
    host.ScriptLog().SetEchoToStderr(options.logToStderr);
    MzSetScriptLogView(&host.ScriptLog());
    MzSetMessageWindowView(&host.MessageWindow());
    QtFileDialog fileDialog;
    MzSetFileDialogView(&fileDialog);
    QObject::connect(&instance, &QtSingleInstance::ShowRequested, &host, [&host] { host.ShowScriptLog(); });
    app.Start(&host);

    int status;
    {
        Worker dialogThread([&app] { DialogThreadProc(app); });
        Worker appThread([&app] { AppThreadProc(app); });
        status = QApplication::exec();
        app.quit = true;
        appThread.JoinServingEvents();
        dialogThread.JoinServingEvents();
    }
    MzSetScriptLogView(nullptr);
    MzSetMessageWindowView(nullptr);
    MzSetFileDialogView(nullptr);
    MzSetErrorBoxView(nullptr);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (auto status = ParseOptions(argc, argv, options)) return *status;
    if (!options.folder) {
        options.folder =
            MzDefaultMascotFolder(std::filesystem::current_path(), MzProgramPath(), MZ_SAMPLE_FROM_BIN)
                .string();
    }
    if (options.folder) {
        std::error_code error;
        std::filesystem::current_path(*options.folder, error);
        if (error) {
            std::fprintf(stderr, "mascot: cannot enter '%s': %s\n", options.folder->c_str(),
                         error.message().c_str());
            return 1;
        }
    }
    // SIGTERM and SIGINT end the program the normal way, through the stop flag.
    std::signal(SIGTERM, [](int) { QtHost::RequestTerminate(); });
    std::signal(SIGINT, [](int) { QtHost::RequestTerminate(); });
    return Run(argc, argv, options);
}
