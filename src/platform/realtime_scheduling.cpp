#include "platform/realtime_scheduling.h"

#include <dbus/dbus.h>

#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

namespace tunescrib {

namespace {

constexpr const char* rtkitName = "org.freedesktop.RealtimeKit1";
constexpr const char* rtkitPath = "/org/freedesktop/RealtimeKit1";
constexpr int busTimeoutMs = 500;

bool setDirectly(pid_t thread, int priority) {
    sched_param parameter{};
    parameter.sched_priority = priority;
    // Children of the program (none today) must not inherit real-time scheduling.
    return sched_setscheduler(thread, SCHED_RR | SCHED_RESET_ON_FORK, &parameter) == 0;
}

struct ConnectionClose {
    void operator()(DBusConnection* connection) const {
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
    }
};
struct MessageUnref {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

class Bus {
public:
    Bus() {
        dbus_error_init(&error);
        connection.reset(dbus_bus_get_private(DBUS_BUS_SYSTEM, &error));
        if (connection) {
            dbus_connection_set_exit_on_disconnect(connection.get(), FALSE);
        }
    }
    ~Bus() { dbus_error_free(&error); }
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;

    [[nodiscard]] bool connected() const { return connection != nullptr; }
    [[nodiscard]] std::string failure() const {
        return dbus_error_is_set(&error) ? error.message : "no answer";
    }

    // An integer property of RealtimeKit, whatever its width.
    std::optional<std::int64_t> property(const char* name) {
        Message call(dbus_message_new_method_call(rtkitName, rtkitPath,
                                                  "org.freedesktop.DBus.Properties", "Get"));
        const char* interface = rtkitName;
        dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &name,
                                 DBUS_TYPE_INVALID);
        Message reply = send(call);
        DBusMessageIter iter;
        DBusMessageIter variant;
        if (!reply || !dbus_message_iter_init(reply.get(), &iter) ||
            dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_VARIANT) {
            return std::nullopt;
        }
        dbus_message_iter_recurse(&iter, &variant);
        switch (dbus_message_iter_get_arg_type(&variant)) {
        case DBUS_TYPE_INT32: {
            dbus_int32_t value = 0;
            dbus_message_iter_get_basic(&variant, &value);
            return value;
        }
        case DBUS_TYPE_INT64: {
            dbus_int64_t value = 0;
            dbus_message_iter_get_basic(&variant, &value);
            return value;
        }
        default:
            return std::nullopt;
        }
    }

    bool makeRealtime(pid_t thread, int priority) {
        Message call(
            dbus_message_new_method_call(rtkitName, rtkitPath, rtkitName, "MakeThreadRealtime"));
        auto id = static_cast<dbus_uint64_t>(thread);
        auto level = static_cast<dbus_uint32_t>(priority);
        dbus_message_append_args(call.get(), DBUS_TYPE_UINT64, &id, DBUS_TYPE_UINT32, &level,
                                 DBUS_TYPE_INVALID);
        return send(call) != nullptr;
    }

private:
    Message send(const Message& call) {
        if (!call) {
            return nullptr;
        }
        dbus_error_free(&error);
        return Message(dbus_connection_send_with_reply_and_block(connection.get(), call.get(),
                                                                 busTimeoutMs, &error));
    }

    DBusError error{};
    std::unique_ptr<DBusConnection, ConnectionClose> connection;
};

RealtimeGrant askRealtimeKit(pid_t thread, int priority) {
    Bus bus;
    if (!bus.connected()) {
        return {false, "normal priority: no system bus for RealtimeKit (" + bus.failure() + ")"};
    }
    const auto maxPriority = bus.property("MaxRealtimePriority");
    const auto maxRealtimeUsec = bus.property("RTTimeUSecMax");
    if (!maxPriority || !maxRealtimeUsec) {
        return {false, "normal priority: RealtimeKit did not answer (" + bus.failure() + ")"};
    }
    // RealtimeKit grants only to a process that promises, through RLIMIT_RTTIME, to give
    // the processor back within its limit; a renderer that waits on the server every few
    // milliseconds never comes near it.
    const auto limit = static_cast<rlim_t>(*maxRealtimeUsec);
    const rlimit rtTime{limit, limit};
    if (setrlimit(RLIMIT_RTTIME, &rtTime) != 0) {
        return {false,
                std::string("normal priority: RLIMIT_RTTIME refused: ") + std::strerror(errno)};
    }
    const int granted = std::min<int>(priority, static_cast<int>(*maxPriority));
    if (granted < 1 || !bus.makeRealtime(thread, granted)) {
        return {false, "normal priority: RealtimeKit refused (" + bus.failure() + ")"};
    }
    return {true, "SCHED_RR " + std::to_string(granted) + " through RealtimeKit"};
}

} // namespace

RealtimeGrant makeThreadRealtime(pid_t thread, int priority) {
    const int highest = sched_get_priority_max(SCHED_RR);
    const int wanted = std::clamp(priority, 1, highest > 0 ? highest : 1);
    if (setDirectly(thread, wanted)) {
        return {true, "SCHED_RR " + std::to_string(wanted) + " directly"};
    }
    // A user may be allowed a lower real-time priority than asked for.
    rlimit allowed{};
    if (getrlimit(RLIMIT_RTPRIO, &allowed) == 0 && allowed.rlim_cur > 0 &&
        allowed.rlim_cur < static_cast<rlim_t>(wanted) &&
        setDirectly(thread, static_cast<int>(allowed.rlim_cur))) {
        return {true, "SCHED_RR " + std::to_string(allowed.rlim_cur) + " directly"};
    }
    return askRealtimeKit(thread, wanted);
}

} // namespace tunescrib
