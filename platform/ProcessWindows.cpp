#include "platform/ProcessWindows.h"

#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include <xcb/xcb.h>

namespace platform {
namespace {

// Replies are allocated by xcb and freed with free().
struct ReplyFree {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, ReplyFree>;

struct ConnectionClose {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using ConnectionPtr = std::unique_ptr<xcb_connection_t, ConnectionClose>;

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
};

bool IdentityOf(const std::string& path, FileIdentity& identity) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    identity = {info.st_dev, info.st_ino};
    return true;
}

xcb_atom_t ExistingAtom(xcb_connection_t* connection, std::string_view name) {
    const ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, std::uint16_t(name.size()), name.data()), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The windows a program's top-level window can be: the window manager's
// client list and, without a window manager, the root's children.
std::vector<xcb_window_t> CandidateWindows(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t clientList) {
    std::vector<xcb_window_t> windows;
    if (clientList != XCB_ATOM_NONE) {
        const ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, root, clientList, XCB_ATOM_WINDOW, 0, 4096), nullptr));
        if (reply && reply->format == 32) {
            const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
            windows.insert(windows.end(), ids, ids + xcb_get_property_value_length(reply.get()) / 4);
        }
    }
    const ReplyPtr<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr));
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        windows.insert(windows.end(), children, children + xcb_query_tree_children_length(tree.get()));
    }
    return windows;
}

bool IsViewable(xcb_connection_t* connection, xcb_window_t window) {
    const ReplyPtr<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr));
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

long WindowProcess(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t pidAtom) {
    const ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 4) return -1;
    return long(*static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get())));
}

bool ProcessRuns(long pid, const FileIdentity& executable) {
    FileIdentity running;
    return pid > 0 && IdentityOf("/proc/" + std::to_string(pid) + "/exe", running) &&
           running.device == executable.device && running.inode == executable.inode;
}

}  // namespace

bool ExecutableShowsWindow(const std::string& executablePath) {
    FileIdentity executable;
    if (!IdentityOf(executablePath, executable)) return false;
    int screenNumber = 0;
    const ConnectionPtr connection(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(connection.get()) != 0) return false;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) return false;
    const xcb_atom_t pidAtom = ExistingAtom(connection.get(), "_NET_WM_PID");
    if (pidAtom == XCB_ATOM_NONE) return false;
    const xcb_atom_t clientList = ExistingAtom(connection.get(), "_NET_CLIENT_LIST");
    for (const xcb_window_t window : CandidateWindows(connection.get(), screens.data->root, clientList)) {
        if (IsViewable(connection.get(), window) &&
            ProcessRuns(WindowProcess(connection.get(), window, pidAtom), executable)) {
            return true;
        }
    }
    return false;
}

}  // namespace platform
