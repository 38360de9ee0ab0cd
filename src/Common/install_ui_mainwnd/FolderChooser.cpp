#include "Common/install_ui_mainwnd/FolderChooser.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include <easylogging++.h>
#include <gio/gio.h>

#include "FuntionImpl.h"
#include "platform/DesktopOpen.h"
#include "platform/Process.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// The desktop portal's file chooser, asked for a folder. The request's
// answer arrives as a signal on a request object whose path follows from
// our bus name and a token we choose, so we listen before we ask.
class PortalRequest {
public:
    explicit PortalRequest(const std::string& address) : context_(g_main_context_new()) {
        g_main_context_push_thread_default(context_);
        GError* error = nullptr;
        bus_ = g_dbus_connection_new_for_address_sync(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        if (!bus_) Fail("bus", error);
    }
    ~PortalRequest() {
        if (subscription_) g_dbus_connection_signal_unsubscribe(bus_, subscription_);
        if (watch_) g_bus_unwatch_name(watch_);
        if (bus_) {
            g_dbus_connection_close_sync(bus_, nullptr, nullptr);
            g_object_unref(bus_);
        }
        g_main_context_pop_thread_default(context_);
        g_main_context_unref(context_);
    }
    PortalRequest(const PortalRequest&) = delete;
    PortalRequest& operator=(const PortalRequest&) = delete;

    // nullopt when the portal has no usable folder chooser.
    std::optional<FolderChooserResult> Choose(const std::string& startFolder, const std::string& title) {
        if (!bus_ || ChooserVersion() < kDirectoryChooserVersion) return std::nullopt;
        std::string sender = g_dbus_connection_get_unique_name(bus_) + 1;  // without the leading ':'
        for (char& c : sender)
            if (c == '.') c = '_';
        static std::atomic<unsigned> requests{0};
        const std::string token = "zembra" + std::to_string(getpid()) + "_" + std::to_string(++requests);
        const std::string requestPath = std::string(kPortalPath) + "/request/" + sender + "/" + token;
        subscription_ = g_dbus_connection_signal_subscribe(
            bus_, kPortalName, "org.freedesktop.portal.Request", "Response", requestPath.c_str(), nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE, &PortalRequest::OnResponse, this, nullptr);
        GVariantBuilder options;
        g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
        g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
        g_variant_builder_add(&options, "{sv}", "directory", g_variant_new_boolean(TRUE));
        g_variant_builder_add(&options, "{sv}", "modal", g_variant_new_boolean(TRUE));
        if (!startFolder.empty())
            g_variant_builder_add(&options, "{sv}", "current_folder", g_variant_new_bytestring(startFolder.c_str()));
        GError* error = nullptr;
        GVariant* handle = g_dbus_connection_call_sync(
            bus_, kPortalName, kPortalPath, "org.freedesktop.portal.FileChooser", "OpenFile",
            g_variant_new("(ssa{sv})", "", title.c_str(), &options), G_VARIANT_TYPE("(o)"),
            G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &error);
        if (!handle) {
            Fail("OpenFile", error);
            return std::nullopt;
        }
        g_variant_unref(handle);
        // Watched only now that the call has started the portal.
        watch_ = g_bus_watch_name_on_connection(bus_, kPortalName, G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr,
                                                &PortalRequest::OnVanished, this, nullptr);
        while (!answered_) g_main_context_iteration(context_, TRUE);
        return result_;
    }

private:
    static constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
    static constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
    static constexpr std::uint32_t kDirectoryChooserVersion = 3;  // the first to choose folders
    static constexpr int kCallTimeoutMs = 30000;

    std::uint32_t ChooserVersion() {
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_sync(
            bus_, kPortalName, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
            g_variant_new("(ss)", "org.freedesktop.portal.FileChooser", "version"), G_VARIANT_TYPE("(v)"),
            G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &error);
        if (!reply) {
            Fail("version", error);
            return 0;
        }
        GVariant* boxed = nullptr;
        g_variant_get(reply, "(v)", &boxed);
        const std::uint32_t version = g_variant_is_of_type(boxed, G_VARIANT_TYPE_UINT32) ? g_variant_get_uint32(boxed) : 0;
        g_variant_unref(boxed);
        g_variant_unref(reply);
        return version;
    }

    static void OnResponse(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                           GVariant* parameters, gpointer self) {
        auto* request = static_cast<PortalRequest*>(self);
        guint32 response = 2;
        GVariant* results = nullptr;
        g_variant_get(parameters, "(u@a{sv})", &response, &results);
        request->result_ = FolderChooserResult{FolderChoice::Cancelled, ""};
        const gchar** uris = nullptr;
        if (response == 0 && g_variant_lookup(results, "uris", "^a&s", &uris) && uris && uris[0]) {
            if (gchar* path = g_filename_from_uri(uris[0], nullptr, nullptr)) {
                request->result_ = FolderChooserResult{FolderChoice::Chosen, path};
                g_free(path);
            }
        }
        g_free(uris);
        g_variant_unref(results);
        request->answered_ = true;
    }

    // The portal went away before it answered: no answer will come.
    static void OnVanished(GDBusConnection*, const gchar*, gpointer self) {
        auto* request = static_cast<PortalRequest*>(self);
        LOG(INFO) << " Folder chooser portal went away";
        request->result_ = FolderChooserResult{FolderChoice::Cancelled, ""};
        request->answered_ = true;
    }

    static void Fail(const char* step, GError* error) {
        LOG(INFO) << " Folder chooser portal: " << step << ", " << (error ? error->message : "");
        if (error) g_error_free(error);
    }

    GMainContext* context_;
    GDBusConnection* bus_ = nullptr;
    guint subscription_ = 0;
    guint watch_ = 0;
    bool answered_ = false;
    FolderChooserResult result_;
};

// One absolute folder name in valid UTF-8, or no choice at all.
bool IsUsableFolderName(const std::string& folder) {
    return !folder.empty() && folder.front() == '/' && folder.find('\n') == std::string::npos &&
           FuntionImpl::AnsiToUtf8(folder) == folder;
}

std::string SessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return address;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    if (runtime && *runtime && stat((std::string(runtime) + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode))
        return "unix:path=" + std::string(runtime) + "/bus";
    return "";
}

std::vector<std::string> ChooserCommand(const FolderChooserPrograms& programs, const std::string& startFolder,
                                        const std::string& title) {
    std::string start = startFolder;
    if (!start.empty() && start.back() != '/') start += '/';
    if (!programs.zenity.empty())
        return {programs.zenity, "--file-selection", "--directory", "--title=" + title, "--filename=" + start};
    return {programs.kdialog, "--getexistingdirectory", start.empty() ? "/" : start, "--title", title};
}

}  // namespace

FolderChooserPrograms FolderChooserPrograms::Detect() {
    FolderChooserPrograms programs;
    programs.sessionBus = SessionBusAddress();
    programs.zenity = platform::FindProgramOnPath("zenity");
    programs.kdialog = platform::FindProgramOnPath("kdialog");
    programs.hasDisplay = IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
    return programs;
}

FolderChooserResult ChooseFolderWithDesktop(const std::string& startFolder, const std::string& title,
                                            const FolderChooserPrograms& programs) {
    FolderChooserResult result;
    if (!programs.sessionBus.empty()) {
        if (std::optional<FolderChooserResult> chosen = PortalRequest(programs.sessionBus).Choose(startFolder, title)) {
            if (chosen->choice == FolderChoice::Chosen && !IsUsableFolderName(chosen->folder))
                chosen->choice = FolderChoice::Cancelled;
            LOG(INFO) << " Folder chooser portal answered: " << static_cast<int>(chosen->choice);
            return *chosen;
        }
    }
    if (!programs.hasDisplay || (programs.zenity.empty() && programs.kdialog.empty())) {
        LOG(INFO) << " No folder chooser on this desktop";
        return result;
    }
    const std::vector<std::string> argv = ChooserCommand(programs, startFolder, title);
    const platform::CapturedRun run = platform::RunForOutput(argv, -1);
    if (!run.started) {
        LOG(INFO) << " Folder chooser could not start: " << argv[0] << ", " << errno;
        return result;
    }
    std::string folder = run.output;
    while (!folder.empty() && (folder.back() == '\n' || folder.back() == '\r')) folder.pop_back();
    // Both choosers answer 1 for Cancel; anything but one absolute folder
    // name on one line is no choice either.
    if (run.exitCode != 0 || !IsUsableFolderName(folder)) {
        LOG(INFO) << " Folder chooser closed without a folder: " << run.exitCode;
        result.choice = FolderChoice::Cancelled;
        return result;
    }
    result.choice = FolderChoice::Chosen;
    result.folder = folder;
    return result;
}
