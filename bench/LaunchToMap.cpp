// Starts a program and prints, once it maps a top-level window of the given name, one line:
// the milliseconds from just before the start to the X server's map notification, the CPU
// milliseconds the program's threads used until then, and its process id. Then it waits for
// the program and exits with its status (1 when the program ended before mapping the window).
//   bench_launch_to_map WINDOW_NAME PROGRAM [ARGUMENTS...]
// The map is seen as a MapNotify on the root window (SubstructureNotify), so the window must be
// a child of the root: a display without a window manager, as bench/startup.sh uses. The clock
// is read when the notification arrives: the cost is one X connection opened before the start
// and the wake-up of this process, well under a millisecond. The program's standard output
// goes to this program's standard error.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t atom(xcb_connection_t* connection, const std::string& name) {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, name.size(), name.c_str()), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

Reply<xcb_get_property_reply_t> property(xcb_connection_t* connection, xcb_window_t window,
                                         xcb_atom_t name) {
    return Reply<xcb_get_property_reply_t>(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr));
}

/// Whether the window carries `pid` in _NET_WM_PID and `name` in _NET_WM_NAME or WM_NAME.
bool isTheWindow(xcb_connection_t* connection, xcb_window_t window, pid_t pid,
                 const std::string& name) {
    const auto pidReply = property(connection, window, atom(connection, "_NET_WM_PID"));
    if (!pidReply || xcb_get_property_value_length(pidReply.get()) != 4) return false;
    if (*static_cast<const uint32_t*>(xcb_get_property_value(pidReply.get())) != uint32_t(pid))
        return false;
    for (xcb_atom_t nameAtom : {atom(connection, "_NET_WM_NAME"), xcb_atom_t(XCB_ATOM_WM_NAME)}) {
        const auto reply = property(connection, window, nameAtom);
        if (!reply) continue;
        const std::string value(static_cast<const char*>(xcb_get_property_value(reply.get())),
                                size_t(xcb_get_property_value_length(reply.get())));
        if (value == name) return true;
    }
    return false;
}

/// CPU time of all the process's threads so far (the first field of each schedstat, in ns).
double cpuMilliseconds(pid_t pid) {
    double total = 0;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream stat(task.path() / "schedstat");
        double ns = 0;
        if (stat >> ns) total += ns;
    }
    return total / 1e6;
}

int exitStatus(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s WINDOW_NAME PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 2;
    }
    const std::string name = argv[1];
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
    // The program must not inherit the connection.
    fcntl(xcb_get_file_descriptor(connection), F_SETFD, FD_CLOEXEC);

    const auto started = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execvp(argv[2], argv + 2);
        std::perror(argv[2]);
        _exit(127);
    }
    int status = 0;
    pollfd x11{xcb_get_file_descriptor(connection), POLLIN, 0};
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            const Reply<xcb_generic_event_t> owned(event);
            if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) continue;
            const std::chrono::duration<double, std::milli> elapsed =
                std::chrono::steady_clock::now() - started;
            const double cpu = cpuMilliseconds(child);
            const xcb_window_t window = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
            if (!isTheWindow(connection, window, child, name)) continue;
            std::printf("%.1f %.1f %d\n", elapsed.count(), cpu, int(child));
            std::fflush(stdout);
            xcb_disconnect(connection);
            waitpid(child, &status, 0);
            return exitStatus(status);
        }
        if (xcb_connection_has_error(connection)) {
            std::fprintf(stderr, "the X connection broke\n");
            return 2;
        }
        if (waitpid(child, &status, WNOHANG) == child) {
            std::fprintf(stderr, "%s ended (status %d) before mapping \"%s\"\n", argv[2],
                         exitStatus(status), name.c_str());
            return 1;
        }
        poll(&x11, 1, 50);
    }
}
