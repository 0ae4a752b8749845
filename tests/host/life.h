/* Lives of the program through the stand-in, with the README's reminder promises checked
   after every step. A life is a line of steps, a letter and a number each: tN N minutes
   pass (1 the next tick; more asleep or off), then a check; cN the clock set N minutes
   ahead, or back; r0 a restart; aN the person here, away, busy or locked (0-3); kN the open
   warning closed unanswered, put off 1 hour, 4 hours, to tomorrow, or OK (0-4); sN Setup's
   OK with a period of N days; pN hN mN the period, hour + 1 and minute + 1 edited. Written
   from the README alone. */
#include "fakewin.h"
#include "reminder.h"

#include <functional>
#include <set>
#include <sstream>
#include <string>

namespace life {

const long long DAY = MINUTES_PER_DAY, YEAR = 365 * DAY;

struct Life {
    long long wall = 2994 * DAY, real = 0, start = 0, period = 7, hour = 8, minute = 30;
    long long settled = 0, cover = 0, grace = 0, later = 0, laterReal = 0, latest = 0, since = -1;
    long long forecast = -1, shownDay = 0, lastCheck = 0;
    int served = 0, person = 0, open = 0, answer = 0, restart = 0, permit = 0, fresh = 0;
    bool may = false, laterDue = false; /* what the check running now may do */
    std::set<long long> ok;
    std::istringstream steps;
    std::string fault;

    long long Target() { return (hour - 1) * 60 + minute - 1; }
    /* The last due day whose time has come by the moment m, else 0. */
    long long LastDue(long long m)
    {
        for (long long d = m / DAY; d > start && d >= m / DAY - period; d--)
            if ((d - start) % period == 0 && d * DAY + Target() <= m)
                return d;
        return 0;
    }
    /* Is due day d given or done? */
    bool Settled(long long d) { return d <= settled || d * DAY + Target() <= cover; }
    /* A warning or OK at the moment m settles every due day whose time had come by then. */
    void Settle(long long m)
    {
        settled = std::max(settled, LastDue(m));
        cover = std::max(cover, m);
    }
    void Fail(const std::string &why) { fault = fault.empty() ? why + " at " + std::to_string(wall) : fault; }
    /* A warning came, shown or rung again: did a promise allow it, and what it settles. */
    void Warned(bool allowed, bool laterDue)
    {
        if (!allowed || (forecast != -1 && forecast != wall))
            Fail(allowed ? "not the forecast moment" : "a warning nothing called for");
        Settle(wall);
        served |= laterDue;
        since = forecast = -1;
        permit = fresh = 0;
    }
    /* The warning opens: the steps that follow happen while it is open, up to its answer. */
    void Shown()
    {
        Warned(may, laterDue);
        open = 1;
        shownDay = wall / DAY;
        answer = ANSWER_NONE;
        while (open && fault.empty() && Step())
            ;
        open = 0;
        fake::warningAnswer = answer;
    }
    void Check(bool tick)
    {
        if (!start)
            start = wall / DAY; /* the first check starts the cycle */
        if (std::max(cover / DAY, settled) > wall / DAY + 2) { /* far ahead (a clock set wrong): as if yesterday */
            grace = std::max(cover, settled * DAY);
            settled = LastDue(cover = wall / DAY * DAY - 1);
        }
        if (laterReal && !served) { /* a real hour, kept as the local time it comes at */
            later = wall + std::max(laterReal - real, 0LL);
            laterReal = laterReal > real ? laterReal : 0;
        }
        long long day = wall / DAY, lastDue = LastDue(wall), before = lastDue - period;
        bool dueToday = day > start && (day - start) % period == 0;
        bool early = day < start && (start - day) % period == 0 && day * DAY + Target() <= wall;
        laterDue = later && (laterReal ? real >= laterReal : later <= wall || later - wall > 2 * DAY);
        bool waits = later && !served && !laterDue;
        /* A missed day comes at once, or with a due day's own warning at its time. */
        bool owed = !waits && !Settled(lastDue) && (lastDue == day || !dueToday);
        /* Given days forgotten with a clock set wrong may come again; one period late at most. */
        bool must = (laterDue && !served) ||
                    (owed && (lastDue * DAY > grace || (day < grace / DAY && before > start && !Settled(before))));
        /* Its minute again, the clock set back over it (or the first check past it, asleep
           then); after a restart, the day again. */
        long long its = day * DAY + Target();
        bool passed = (lastCheck < its && its <= wall && latest >= its) || (fresh && latest > wall);
        bool again = dueToday && passed && !ok.count(day) && !waits;
        lastCheck = wall;
        if (must && since < 0)
            since = real;
        bool held = person == 1 || person == 3 || (person == 2 && (since < 0 || real - since < 120));
        permit |= held && (must || owed || again || early);
        may = (!held && (must || owed || again || permit || early)) || (permit && person == 2);
        if (!tick || person)
            forecast = -1;
        int shown = fake::warningsShown, rung = fake::broughtForward;
        latest = std::max(latest, wall);
        CheckReminder();
        if (fake::warningsShown != shown)
            ; /* judged as it opened */
        else if (fake::broughtForward != rung)
            Warned(may, laterDue);
        else if (must && !held && !open) /* the one open rings again: the README's example only */
            Fail("a due warning did not come");
        else if (forecast == wall)
            Fail("the forecast moment passed");
        else if (!must && !permit)
            since = -1;
        ReminderForecast next;
        if (!open && !person && fault.empty())
            forecast = ForecastWarning((DayNumber) (wall / DAY), (int) (wall % DAY) + 1, &next)
                           ? next.day * DAY + next.minute : -2;
        if (restart)
            Restart();
    }
    void Answer(int n)
    {
        answer = n;
        open = 0;
        if (n == ANSWER_NONE)
            return;
        Settle(wall); /* it stands for all held while it was open */
        since = -1;
        permit = 0;
        later = laterReal = served = 0;
        if (n == ANSWER_DONE) {
            ok.insert(wall / DAY);
            Settle(wall / DAY * DAY + DAY - 1);
        } else if (n == ANSWER_TOMORROW) {
            later = (shownDay + 1) * DAY + Target();
            later = later > wall ? later : (wall / DAY + 1) * DAY + Target();
        } else {
            later = wall + (n == ANSWER_IN_1_HOUR ? 60 : 240);
            laterReal = real + later - wall;
        }
    }
    void Restart()
    {
        reminderState = ReminderState{};
        warningsUnderWay = sessionLocked = person = served = restart = permit = 0;
        fake::notificationState = QUNS_ACCEPTS_NOTIFICATIONS;
        laterReal = 0; /* the stored time of day from now on */
        fresh = 1;
        since = forecast = -1;
    }
    void SetClock()
    {
        SYSTEMTIME date;
        DayNumberToDate(wall / DAY, &date);
        fake::SetClock(date.wYear, date.wMonth, date.wDay, (int) (wall % DAY / 60), (int) (wall % 60));
    }
    /* Takes the next step; false at the end of the life. */
    bool Step()
    {
        char kind;
        long long n;
        if (!(steps >> kind >> n))
            return false;
        const char *names[] = {SETTING_FREQUENCY, SETTING_HOURS, SETTING_MINUTES};
        size_t edit = std::string("phm").find(kind);
        if (kind != 't')
            forecast = -1;
        if (kind == 't' || kind == 'c') {
            wall = std::max(wall + n, 400 * DAY);
            real += kind == 't' ? n : 0;
            fake::tickCount = (DWORD) (real * 60000);
            SetClock();
            if (kind == 't')
                Check(n == 1);
        } else if (kind == 'r' && open) {
            restart = 1, open = 0, answer = ANSWER_NONE;
        } else if (kind == 'r') {
            Restart();
        } else if (kind == 'a') {
            person = (int) n;
            fake::notificationState = n == 1 ? QUNS_NOT_PRESENT : n == 2 ? QUNS_BUSY : QUNS_ACCEPTS_NOTIFICATIONS;
            sessionLocked = n == 3;
        } else if (kind == 'k' && open) {
            Answer((int) n);
        } else if (kind == 's' && start) {
            WriteSettingInt((int) n, SETTING_FREQUENCY);
            StartCycle();
            settled = start = wall / DAY; /* a new cycle: none of its days given yet */
            grace = 0;
            cover = std::min(cover, start * DAY + DAY - 1);
            period = n;
        } else if (edit != std::string::npos) {
            WriteSettingInt((int) n, names[edit]);
            (edit == 0 ? period : edit == 1 ? hour : minute) = n;
        }
        return true;
    }
};

/* Lives a life from a fresh stand-in: the first promise it breaks, else "". */
inline std::string Live(const std::string &steps)
{
    fake::Reset();
    Life life;
    life.Restart();
    fake::onWarning = [&] { life.Shown(); };
    life.steps.str(steps);
    while (life.fault.empty() && life.Step())
        ;
    return life.fault;
}

/* A random life of length steps; pick(n) answers 0 to n - 1. */
inline std::string RandomLife(const std::function<int(int)> &pick, int length)
{
    const long long periods[] = {1, 2, 3, 7, 30}, clocks[] = {-60, 60, -DAY, -3 * DAY, 2 * DAY, YEAR, -YEAR};
    std::ostringstream life;
    life << "p" << periods[pick(5)] << " h" << pick(24) + 1 << " m" << pick(60) + 1 << " t0";
    while (length-- > 0) {
        int r = pick(20);
        long long n = r < 10 ? 1 : r < 12 ? pick(240) : r == 12 ? pick(4 * DAY) : r == 13 ? clocks[pick(7)] : 0;
        n = r == 15 ? pick(4) : r == 16 || r == 17 ? pick(4) + 1 : r == 18 || r == 19 ? periods[pick(5)] : n;
        life << " " << "tttttttttttttcrakkss"[r] << n;
    }
    return life.str();
}

/* The shortest failing life found by dropping steps while it still fails. */
inline std::string Shrink(std::string steps)
{
    std::vector<std::string> all;
    std::istringstream in(steps);
    for (std::string s; in >> s;)
        all.push_back(s);
    auto join = [](const std::vector<std::string> &v) {
        std::string s;
        for (const auto &x : v)
            s += (s.empty() ? "" : " ") + x;
        return s;
    };
    for (size_t chunk = all.size() / 2; chunk >= 1; chunk = chunk / 2)
        for (size_t at = 0; at + chunk <= all.size();) {
            std::vector<std::string> fewer(all);
            fewer.erase(fewer.begin() + at, fewer.begin() + at + chunk);
            if (!Live(join(fewer)).empty())
                all = fewer;
            else
                at++;
        }
    return join(all);
}

} // namespace life
