// Date: milliseconds since 1970 in UTC; local time is UTC, so results do not depend on the
// machine's time zone.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDay = 86400000.0;

double daysFromCivil(double y, double m, double d) {  // m 0-based, may be out of range
    y += std::floor(m / 12);
    // Far past any date's range (and of int64_t): no day at all.
    if (!(std::fabs(y) < 1e9) || !std::isfinite(m)) return kNaN;
    m = std::fmod(m, 12);
    if (m < 0) m += 12;
    const int64_t m1 = static_cast<int64_t>(m) + 1;
    const int64_t yy = static_cast<int64_t>(y) - (m1 <= 2 ? 1 : 0);
    const int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
    const int64_t yoe = yy - era * 400;
    const int64_t mp = (m1 + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<double>(era * 146097 + doe - 719468) + (d - 1);
}

struct Parts {
    double year, month, date, hours, minutes, seconds, ms, day;
};

Parts split(double t) {
    const double days = std::floor(t / kDay);
    double rem = t - days * kDay;
    const int64_t z = static_cast<int64_t>(days) + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    Parts p;
    p.year = static_cast<double>(y);
    p.month = static_cast<double>(m - 1);
    p.date = static_cast<double>(d);
    p.hours = std::floor(rem / 3600000);
    rem -= p.hours * 3600000;
    p.minutes = std::floor(rem / 60000);
    rem -= p.minutes * 60000;
    p.seconds = std::floor(rem / 1000);
    p.ms = rem - p.seconds * 1000;
    double wd = std::fmod(days + 4, 7);
    if (wd < 0) wd += 7;
    p.day = wd;
    return p;
}

double join(const Parts& p) {
    return daysFromCivil(p.year, p.month, p.date) * kDay + p.hours * 3600000 + p.minutes * 60000 +
           p.seconds * 1000 + p.ms;
}

double clip(double t) {
    if (!std::isfinite(t) || std::fabs(t) > 8.64e15) return kNaN;
    return t;  // the Flash Player keeps fractions of a millisecond
}

double& timeOf(Object* self) {
    static double dummy;
    if (!self || self->cls != ObjClass::Date) {
        dummy = kNaN;
        return dummy;
    }
    return self->primitive.n;
}

}  // namespace

void installDateBuiltins(Vm& vm) {
    Object* dp = vm.dateProto;
    auto make = [](Vm& vm, Object* self, Args& a) -> Value {
        self->cls = ObjClass::Date;
        double t;
        if (a.empty()) {
            t = std::floor(
                static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count()));
        } else if (a.size() == 1) {
            t = clip(vm.toNumber(a[0]));
        } else {
            Parts p{};
            double f[7] = {0, 0, 1, 0, 0, 0, 0};
            for (size_t i = 0; i < 7 && i < a.size(); ++i) f[i] = vm.toNumber(a[i]);
            if (f[0] >= 0 && f[0] <= 99) f[0] += 1900;
            p.year = f[0];
            p.month = f[1];
            p.date = f[2];
            p.hours = f[3];
            p.minutes = f[4];
            p.seconds = f[5];
            p.ms = f[6];
            bool ok = true;
            for (double x : f) ok = ok && std::isfinite(x);
            t = ok ? clip(join(p)) : kNaN;
        }
        self->primitive = Value(t);
        return Value(self);
    };
    Object* ctor = vm.newFunction(
        [make](Vm& vm, Object*, Args&) -> Value {
            Object* o = vm.newObject(vm.dateProto);
            Args none;
            make(vm, o, none);
            return Value(vm.toString(Value(o)));
        },
        dp);
    ctor->fn->construct = make;
    vm.defineValue(vm.global, "Date", ctor);
    vm.defineMethod(ctor, "UTC", [](Vm& vm, Object*, Args& a) -> Value {
        double f[7] = {0, 0, 1, 0, 0, 0, 0};
        for (size_t i = 0; i < 7 && i < a.size(); ++i) f[i] = vm.toNumber(a[i]);
        if (f[0] >= 0 && f[0] <= 99) f[0] += 1900;
        Parts p{f[0], f[1], f[2], f[3], f[4], f[5], f[6], 0};
        return Value(clip(join(p)));
    });
    vm.defineMethod(dp, "getTime",
                    [](Vm&, Object* self, Args&) -> Value { return Value(timeOf(self)); });
    vm.defineMethod(dp, "valueOf",
                    [](Vm&, Object* self, Args&) -> Value { return Value(timeOf(self)); });
    using Getter = double (*)(const Parts&);
    const std::pair<const char*, Getter> getters[] = {
        {"FullYear", [](const Parts& p) { return p.year; }},
        {"Month", [](const Parts& p) { return p.month; }},
        {"Date", [](const Parts& p) { return p.date; }},
        {"Day", [](const Parts& p) { return p.day; }},
        {"Hours", [](const Parts& p) { return p.hours; }},
        {"Minutes", [](const Parts& p) { return p.minutes; }},
        {"Seconds", [](const Parts& p) { return p.seconds; }},
        {"Milliseconds", [](const Parts& p) { return p.ms; }},
    };
    for (auto& [name, g] : getters) {
        Getter fn = g;
        auto body = [fn](Vm&, Object* self, Args&) -> Value {
            const double t = timeOf(self);
            if (std::isnan(t)) return Value(kNaN);
            return Value(fn(split(t)));
        };
        vm.defineMethod(dp, std::string("get") + name, body);
        vm.defineMethod(dp, std::string("getUTC") + name, body);
    }
    vm.defineMethod(dp, "getYear", [](Vm&, Object* self, Args&) -> Value {
        const double t = timeOf(self);
        return std::isnan(t) ? Value(kNaN) : Value(split(t).year - 1900);
    });
    vm.defineMethod(dp, "getTimezoneOffset", [](Vm&, Object*, Args&) -> Value { return Value(0); });
    // setX(v...) : fields from `first` on take the arguments in order.
    const std::pair<const char*, int> setters[] = {
        {"FullYear", 0}, {"Month", 1},   {"Date", 2},        {"Hours", 3},
        {"Minutes", 4},  {"Seconds", 5}, {"Milliseconds", 6}};
    for (auto& [name, first] : setters) {
        const int f0 = first;
        auto body = [f0](Vm& vm, Object* self, Args& a) -> Value {
            if (!self || self->cls != ObjClass::Date) return {};
            double t = timeOf(self);
            if (std::isnan(t)) t = 0;
            Parts p = split(t);
            double* fields[7] = {&p.year,    &p.month,   &p.date, &p.hours,
                                 &p.minutes, &p.seconds, &p.ms};
            for (size_t i = 0; i < a.size() && f0 + i < 7; ++i) *fields[f0 + i] = vm.toNumber(a[i]);
            self->primitive = Value(clip(join(p)));
            return self->primitive;
        };
        vm.defineMethod(dp, std::string("set") + name, body);
        vm.defineMethod(dp, std::string("setUTC") + name, body);
    }
    vm.defineMethod(dp, "setYear", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || self->cls != ObjClass::Date) return {};
        double t = timeOf(self);
        if (std::isnan(t)) t = 0;
        Parts p = split(t);
        double y = vm.toNumber(arg(a, 0));
        if (y >= 0 && y <= 99) y += 1900;
        p.year = y;
        self->primitive = Value(clip(join(p)));
        return self->primitive;
    });
    vm.defineMethod(dp, "setTime", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || self->cls != ObjClass::Date) return {};
        self->primitive = Value(clip(vm.toNumber(arg(a, 0))));
        return self->primitive;
    });
    vm.defineMethod(dp, "toString", [](Vm&, Object* self, Args&) -> Value {
        const double t = timeOf(self);
        if (std::isnan(t)) return Value("Invalid Date");
        static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        const Parts p = split(t);
        char buf[96];
        std::snprintf(buf, sizeof buf, "%s %s %d %02d:%02d:%02d GMT+0000 %d", days[int(p.day)],
                      months[int(p.month)], int(p.date), int(p.hours), int(p.minutes),
                      int(p.seconds), int(p.year));
        return Value(buf);
    });
}

}  // namespace swf::avm1
