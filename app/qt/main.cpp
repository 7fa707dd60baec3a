// Process entry of the mascot program: command line, the GUI thread, the dialog and application
// threads, and the teardown in order.
#include "MainApp.h"
#include "MascotEngine.h"
#include "MzAutostart.h"
#include "MzLog.h"
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
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <unistd.h>

// Last: Xlib's macros (None, Status, Bool) would clash with the names above.
#include <X11/Xlib.h>

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

// The X server died or the connection broke. Qt's event dispatch (GUI thread) and Xlib under the
// OpenGL context (application thread) each end the process with exit() then, concurrently and while
// the other threads still run: destructors would race them. The first to notice ends the process at
// once with status 1; any other waits for that.
[[noreturn]] void ExitForLostDisplay() {
    static std::atomic<bool> exiting{false};
    if (!exiting.exchange(true)) {
        static constexpr char kText[] = "mascot: the connection to the X server was lost\n";
        [[maybe_unused]] ssize_t written = write(STDERR_FILENO, kText, sizeof kText - 1);
        _exit(1);
    }
    for (;;)
        pause();
}

QtMessageHandler g_qtMessageHandler = nullptr;

void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("The X11 connection broke"))) ExitForLostDisplay();
    if (g_qtMessageHandler) g_qtMessageHandler(type, context, message);
}

int OnXlibIOError(Display*) {
    ExitForLostDisplay();
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

// Keeps what config.nut and its readers log before the script-log window exists, for stderr and
// for the window once it is there.
class EarlyLog : public MzScriptLogView {
  public:
    EarlyLog() { MzSetScriptLogView(this); }
    ~EarlyLog() override { MzSetScriptLogView(nullptr); }
    EarlyLog(const EarlyLog&) = delete;
    EarlyLog& operator=(const EarlyLog&) = delete;

    std::string Take() {
        MzFlushScriptLog();
        return std::move(m_text);
    }

    void SetEnabled(bool) override {}
    void RemoveLeadingLines(std::size_t) override {}
    void Append(std::string_view text) override { m_text += text; }
    void ScrollToEnd() override {}

  private:
    std::string m_text;
};

// Logs `text` again, line by line.
void Relog(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        MzLog("%.*s", static_cast<int>(end - start), text.data() + start);
        start = end;
    }
}

std::string WithoutCr(std::string text) {
    std::erase(text, '\r');
    return text;
}

// Runs config.nut before the log window exists; what it logged is written to stderr (with
// --log-stderr only on failure: otherwise the log echoes it) and kept in `messages` for the log.
bool LoadConfig(MainApp& app, bool logToStderr, std::string& messages) {
    bool loaded;
    {
        EarlyLog earlyLog;
        loaded = app.LoadConfig();
        messages = earlyLog.Take();
    }
    if (!logToStderr || !loaded) std::fputs(WithoutCr(messages).c_str(), stderr);
    return loaded;
}

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
    std::string configMessages;
    if (!LoadConfig(app, options.logToStderr, configMessages)) {
        MzSetErrorBoxView(nullptr);
        return 1;
    }
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
    Relog(configMessages);
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
    return app.failed ? 1 : status;
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
    g_qtMessageHandler = qInstallMessageHandler(OnQtMessage);
    XSetIOErrorHandler(OnXlibIOError);
    // SIGTERM and SIGINT end the program the normal way, through the stop flag; a script running
    // at that moment (also config.nut, before the window exists) is interrupted.
    auto terminate = [](int) {
        MzSquirrel::InterruptAll();
        QtHost::RequestTerminate();
    };
    std::signal(SIGTERM, terminate);
    std::signal(SIGINT, terminate);
    return Run(argc, argv, options);
}
