#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <future>
#include <string>
#include <thread>

#include <gio/gio.h>

#include "Common/install_ui_mainwnd/FolderChooser.h"

namespace {

// A session bus of the test's own: dbus-daemon writing its address to a pipe.
class PrivateSessionBus {
public:
    PrivateSessionBus() {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(pipeEnds[1], 3);
            execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address=3", nullptr);
            _exit(127);
        }
        close(pipeEnds[1]);
        char c;
        while (read(pipeEnds[0], &c, 1) == 1 && c != '\n') address_ += c;
        close(pipeEnds[0]);
    }
    ~PrivateSessionBus() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    const std::string& Address() const { return address_; }

private:
    pid_t pid_ = -1;
    std::string address_;
};

// The desktop portal's file chooser, answering every request at once with
// the given response code and folder.
class FakePortal {
public:
    FakePortal(const std::string& address, guint32 response, std::string uri)
        : response_(response), uri_(std::move(uri)) {
        std::promise<void> ready;
        thread_ = std::thread([this, address, &ready] { Serve(address, ready); });
        ready.get_future().wait();
    }
    ~FakePortal() {
        g_main_loop_quit(loop_);
        thread_.join();
    }
    std::string Options() const { return options_; }

private:
    void Serve(const std::string& address, std::promise<void>& ready) {
        GMainContext* context = g_main_context_new();
        g_main_context_push_thread_default(context);
        loop_ = g_main_loop_new(context, FALSE);
        GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
            "<node><interface name='org.freedesktop.portal.FileChooser'>"
            "<method name='OpenFile'><arg type='s' direction='in'/><arg type='s' direction='in'/>"
            "<arg type='a{sv}' direction='in'/><arg type='o' direction='out'/></method>"
            "<property name='version' type='u' access='read'/></interface></node>",
            nullptr);
        static const GDBusInterfaceVTable vtable = {&FakePortal::OnCall, &FakePortal::OnGet, nullptr, {}};
        const guint object = g_dbus_connection_register_object(bus, "/org/freedesktop/portal/desktop",
                                                               node->interfaces[0], &vtable, this, nullptr, nullptr);
        GVariant* owned = g_dbus_connection_call_sync(
            bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
            g_variant_new("(su)", "org.freedesktop.portal.Desktop", 0u), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
            nullptr, nullptr);
        if (owned) g_variant_unref(owned);
        ready.set_value();
        g_main_loop_run(loop_);
        g_dbus_connection_unregister_object(bus, object);
        g_dbus_node_info_unref(node);
        g_dbus_connection_close_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
        g_main_loop_unref(loop_);
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
    }

    static GVariant* OnGet(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GError**,
                           gpointer) {
        return g_variant_new_uint32(4);
    }

    static void OnCall(GDBusConnection* bus, const gchar* sender, const gchar*, const gchar*, const gchar*,
                       GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
        auto* portal = static_cast<FakePortal*>(self);
        GVariant* options = g_variant_get_child_value(parameters, 2);
        const gchar* token = "none";
        g_variant_lookup(options, "handle_token", "&s", &token);
        gboolean directory = FALSE;
        g_variant_lookup(options, "directory", "b", &directory);
        const gchar* folder = "";
        g_variant_lookup(options, "current_folder", "^&ay", &folder);
        portal->options_ = std::string(directory ? "directory " : "file ") + folder;
        std::string name = sender + 1;
        for (char& c : name)
            if (c == '.') c = '_';
        const std::string path = "/org/freedesktop/portal/desktop/request/" + name + "/" + token;
        g_variant_unref(options);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", path.c_str()));
        GVariantBuilder results;
        g_variant_builder_init(&results, G_VARIANT_TYPE_VARDICT);
        const gchar* uris[] = {portal->uri_.c_str(), nullptr};
        g_variant_builder_add(&results, "{sv}", "uris", g_variant_new_strv(uris, -1));
        g_dbus_connection_emit_signal(bus, sender, path.c_str(), "org.freedesktop.portal.Request", "Response",
                                      g_variant_new("(ua{sv})", portal->response_, &results), nullptr);
    }

    guint32 response_;
    std::string uri_;
    std::string options_;
    GMainLoop* loop_ = nullptr;
    std::thread thread_;
};

}  // namespace

TEST(FolderChooserTest, PortalAnswersWithTheChosenFolderOrACancel) {
    PrivateSessionBus bus;
    if (bus.Address().empty()) GTEST_SKIP() << "dbus-daemon cannot run here";
    FolderChooserPrograms programs;
    programs.sessionBus = bus.Address();
    {
        FakePortal portal(bus.Address(), 0, "file:///srv/apps%20two");
        const FolderChooserResult chosen = ChooseFolderWithDesktop("/opt", "", programs);
        EXPECT_EQ(chosen.choice, FolderChoice::Chosen);
        EXPECT_EQ(chosen.folder, "/srv/apps two");
        EXPECT_EQ(portal.Options(), "directory /opt");
    }
    {
        FakePortal portal(bus.Address(), 1, "file:///srv/ignored");
        EXPECT_EQ(ChooseFolderWithDesktop("/opt", "", programs).choice, FolderChoice::Cancelled);
    }
    // A bus without a portal passes on to the programs; none are installed.
    EXPECT_EQ(ChooseFolderWithDesktop("/opt", "", programs).choice, FolderChoice::NoChooser);
}
