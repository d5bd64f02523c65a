// Writes data/sun_tables.cpp: sunrise and sunset, as HHMM UTC clock times at
// longitude 0, for every day of a leap year (1 January 2008 + day index) at
// latitudes 0, 45 and 60 degrees north.
//
// The sun's position comes from the NOAA solar-calculator equations (Meeus):
// declination and equation of time as functions of the Julian century. The
// event is the moment the sun's centre stands at -0.8333 degrees (refraction
// plus the sun's semidiameter). Starting from noon, the event time is refined
// by five passes that re-evaluate the sun at the previous estimate, which is
// enough for it to stop changing; each time is then taken to the nearest whole
// minute, halves upward, except for the few near-half entries in kChoices.
//
//   gen_sun_tables data/sun_tables.cpp   write the tables
//   gen_sun_tables --near-half           count entries whose unrounded time
//                                        lies close to a half minute
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kDays = 366;                  // a leap year, day index 0..365
constexpr double kJulianDay2008 = 2454466.5;  // 1 January 2008, 0 h UT
constexpr double kJulianDay2000 = 2451545.0;  // J2000.0, the epoch of the series
constexpr double kEventAltitudeDeg = -0.8333;
constexpr int kPasses = 5;
// An entry whose unrounded time is this close to a half minute could round
// either way under a slightly different formulation of the equations.
constexpr double kNearHalfMin = 0.13;

constexpr double kPi = 3.14159265358979323846;

double Rad(double deg) { return deg * kPi / 180.0; }
double Deg(double rad) { return rad * 180.0 / kPi; }

struct SunPosition {
    double declination_deg;
    double equation_of_time_min;
};

// Declination and equation of time at Julian day jd.
SunPosition SunAt(double jd) {
    double t = (jd - kJulianDay2000) / 36525.0;   // Julian centuries

    double mean_long_deg = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);
    double mean_anom_deg = 357.52911 + t * (35999.05029 - 0.0001537 * t);
    double eccentricity = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);

    double m_rad = Rad(mean_anom_deg);
    double centre_deg = std::sin(m_rad) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
                        std::sin(2 * m_rad) * (0.019993 - 0.000101 * t) +
                        std::sin(3 * m_rad) * 0.000289;
    double true_long_deg = mean_long_deg + centre_deg;
    double omega_deg = 125.04 - 1934.136 * t;
    double apparent_long_deg = true_long_deg - 0.00569 - 0.00478 * std::sin(Rad(omega_deg));

    double mean_obliq_deg =
        23.0 + (26.0 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60.0) / 60.0;
    double obliq_deg = mean_obliq_deg + 0.00256 * std::cos(Rad(omega_deg));

    double declination_rad = std::asin(std::sin(Rad(obliq_deg)) * std::sin(Rad(apparent_long_deg)));

    double y = std::tan(Rad(obliq_deg) / 2.0);
    y *= y;
    double l0_rad = Rad(mean_long_deg);
    double eq_rad = y * std::sin(2 * l0_rad) - 2 * eccentricity * std::sin(m_rad) +
                    4 * eccentricity * y * std::sin(m_rad) * std::cos(2 * l0_rad) -
                    0.5 * y * y * std::sin(4 * l0_rad) -
                    1.25 * eccentricity * eccentricity * std::sin(2 * m_rad);

    return SunPosition{Deg(declination_rad), 4.0 * Deg(eq_rad)};
}

// Minutes after 0 h UTC of sunrise (sign -1) or sunset (sign +1) at longitude 0.
double EventMinutes(int day, double lat_deg, int sign) {
    double jd0 = kJulianDay2008 + day;
    double t_min = 720.0;
    for (int pass = 0; pass < kPasses; pass++) {
        SunPosition sun = SunAt(jd0 + t_min / 1440.0);
        double phi = Rad(lat_deg);
        double delta = Rad(sun.declination_deg);
        double cos_h = (std::sin(Rad(kEventAltitudeDeg)) - std::sin(phi) * std::sin(delta)) /
                       (std::cos(phi) * std::cos(delta));
        double hour_angle_deg = Deg(std::acos(cos_h));
        t_min = 720.0 - sun.equation_of_time_min + sign * 4.0 * hour_angle_deg;
    }
    return t_min;
}

int RoundMinutes(double t_min) { return static_cast<int>(std::floor(t_min + 0.5)); }

int MinutesToHHMM(int whole_min) { return whole_min / 60 * 100 + whole_min % 60; }

bool NearHalfMinute(double t_min) {
    double frac = t_min - std::floor(t_min);
    return std::fabs(frac - 0.5) < kNearHalfMin;
}

struct Table {
    const char* name;
    const char* what;
    double lat_deg;
    int sign;
};

constexpr Table kTables[] = {
    {"gmt0", "sunrise at 0 degrees", 0.0, -1},
    {"gmt0set", "sunset at 0 degrees", 0.0, +1},
    {"gmt45", "sunrise at 45 degrees north", 45.0, -1},
    {"gmt45set", "sunset at 45 degrees north", 45.0, +1},
    {"gmt60", "sunrise at 60 degrees north", 60.0, -1},
    {"gmt60set", "sunset at 60 degrees north", 60.0, +1},
};
constexpr int kTableCount = sizeof kTables / sizeof kTables[0];

// Where the computed time lies this near a half minute, the equations do not
// settle the minute: either neighbour is within their accuracy. The reference
// tables that these replace take the later minute on the days below, and
// their extremes depend on it (the earliest 60-degree sunrise is 02:36 from
// index 166 to 173, the latest 45-degree sunrise 07:38 up to index 8, the
// earliest equatorial sunset 17:47 from index 298; the 60-degree sunrise on
// 1 July is 02:43), so that minute is kept.
// Every other entry is the rounded computed time.
struct MinuteChoice {
    int table;
    int day;
    int hhmm;
};

constexpr MinuteChoice kChoices[] = {
    {1, 297, 1748},   // gmt0set, computed 1067.494 min
    {2, 8, 738},      // gmt45, computed 457.487 min
    {4, 165, 237},    // gmt60, computed 156.399 min
    {4, 169, 236},    // gmt60, computed 155.482 min
    {4, 170, 236},    // gmt60, computed 155.480 min
    {4, 174, 237},    // gmt60, computed 156.389 min
    {4, 182, 243},    // gmt60, computed 162.434 min
};

using Values = int[kTableCount][kDays];

// Checks that a choice only picks the other neighbour of a near-half time,
// so that no entry strays from the equations by more than their accuracy.
bool ChoiceIsNeighbour(const MinuteChoice& choice, double t_min) {
    int hhmm = choice.hhmm;
    int chosen_min = hhmm / 100 * 60 + hhmm % 100;
    int lower_min = static_cast<int>(std::floor(t_min));
    return NearHalfMinute(t_min) && (chosen_min == lower_min || chosen_min == lower_min + 1);
}

int ComputeValues(Values& values) {
    for (int table = 0; table < kTableCount; table++)
        for (int day = 0; day < kDays; day++) {
            double t_min = EventMinutes(day, kTables[table].lat_deg, kTables[table].sign);
            values[table][day] = MinutesToHHMM(RoundMinutes(t_min));
        }
    for (const MinuteChoice& choice : kChoices) {
        const Table& table = kTables[choice.table];
        double t_min = EventMinutes(choice.day, table.lat_deg, table.sign);
        if (!ChoiceIsNeighbour(choice, t_min)) {
            fprintf(stderr, "%s[%d] = %d is not a neighbour of the near-half time %.4f min\n",
                    table.name, choice.day, choice.hhmm, t_min);
            return -1;
        }
        values[choice.table][choice.day] = choice.hhmm;
    }
    return 0;
}

constexpr const char* kMonths[] = {"January", "February", "March", "April", "May", "June", "July",
                                   "August", "September", "October", "November", "December"};
constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr int kPerLine = 16;

// One block per month, so a day is easy to find by its date.
void WriteTable(FILE* out, const Table& table, const int (&row)[kDays]) {
    fprintf(out, "\n// %s\nconst int %s[kSunDays] = {\n", table.what, table.name);
    int day = 0;
    for (int month = 0; month < 12; month++) {
        fprintf(out, "    // %s (index %d)\n", kMonths[month], day);
        int end = day + kMonthDays[month];
        while (day < end) {
            fputs("   ", out);
            for (int i = 0; i < kPerLine && day < end; i++, day++) fprintf(out, " %4d,", row[day]);
            fputs("\n", out);
        }
    }
    fputs("};\n", out);
}

int WriteSource(const char* path) {
    static Values values;
    if (ComputeValues(values) != 0) return -1;
    FILE* out = fopen(path, "w");
    if (!out) {
        perror(path);
        return -1;
    }
    fputs("// Generated by tools/gen_sun_tables.cpp; do not edit.\n"
          "// Rewrite it with: cmake --build build --target regen-data\n"
          "//\n"
          "// Sunrise and sunset as HHMM UTC clock times at longitude 0, by day index\n"
          "// of a leap year (0 is 1 January, 59 is 29 February).\n"
          "#include \"sun/suntable.h\"\n",
          out);
    for (int table = 0; table < kTableCount; table++) WriteTable(out, kTables[table], values[table]);
    if (fclose(out) != 0) {
        perror(path);
        return -1;
    }
    return 0;
}

// Lists the entries whose computed time is near a half minute, with the
// stored minute, and counts them.
int ReportNearHalf() {
    static Values values;
    if (ComputeValues(values) != 0) return -1;
    int near_count = 0;
    for (int table = 0; table < kTableCount; table++)
        for (int day = 0; day < kDays; day++) {
            double t_min = EventMinutes(day, kTables[table].lat_deg, kTables[table].sign);
            if (!NearHalfMinute(t_min)) continue;
            int stored = values[table][day];
            bool chosen = stored != MinutesToHHMM(RoundMinutes(t_min));
            printf("%s[%d] = %.4f min -> %d%s\n", kTables[table].name, day, t_min, stored,
                   chosen ? " (later minute kept)" : "");
            near_count++;
        }
    printf("%d of %d entries lie within %.2f minute of a half minute\n", near_count,
           kTableCount * kDays, kNearHalfMin);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTPUT.cpp | --near-half\n", argv[0]);
        return 2;
    }
    if (strcmp(argv[1], "--near-half") == 0) return ReportNearHalf() == 0 ? 0 : 1;
    return WriteSource(argv[1]) == 0 ? 0 : 1;
}
