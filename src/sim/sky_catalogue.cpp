#include "sim/sky_catalogue.h"

#include <libnova/julian_day.h>
#include <libnova/jupiter.h>
#include <libnova/mars.h>
#include <libnova/mercury.h>
#include <libnova/neptune.h>
#include <libnova/pluto.h>
#include <libnova/precession.h>
#include <libnova/saturn.h>
#include <libnova/sidereal_time.h>
#include <libnova/uranus.h>
#include <libnova/venus.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace kvr::sim {

namespace {

constexpr double kJulianDayOfUnixEpoch = 2440587.5;
constexpr double kJ2000 = 2451545.0;
constexpr double kRadPerDeg = std::numbers::pi / 180.0;

// Messier objects: NGC number (0: none), right ascension (hours, minutes) and declination
// (sign, degrees, minutes), J2000.
struct MessierEntry {
    int ngc;
    int ra_h;
    double ra_min;
    int sign;
    int dec_deg;
    int dec_min;
};

constexpr MessierEntry kMessier[110] = {
    {1952, 5, 34.5, 1, 22, 1},    {7089, 21, 33.5, -1, 0, 49},  {5272, 13, 42.2, 1, 28, 23},
    {6121, 16, 23.6, -1, 26, 32}, {5904, 15, 18.6, 1, 2, 5},    {6405, 17, 40.1, -1, 32, 13},
    {6475, 17, 53.9, -1, 34, 49}, {6523, 18, 3.8, -1, 24, 23},  {6333, 17, 19.2, -1, 18, 31},
    {6254, 16, 57.1, -1, 4, 6},   {6705, 18, 51.1, -1, 6, 16},  {6218, 16, 47.2, -1, 1, 57},
    {6205, 16, 41.7, 1, 36, 28},  {6402, 17, 37.6, -1, 3, 15},  {7078, 21, 30.0, 1, 12, 10},
    {6611, 18, 18.8, -1, 13, 47}, {6618, 18, 20.8, -1, 16, 11}, {6613, 18, 19.9, -1, 17, 8},
    {6273, 17, 2.6, -1, 26, 16},  {6514, 18, 2.6, -1, 23, 2},   {6531, 18, 4.6, -1, 22, 30},
    {6656, 18, 36.4, -1, 23, 54}, {6494, 17, 56.8, -1, 19, 1},  {0, 18, 16.9, -1, 18, 29},
    {0, 18, 31.6, -1, 19, 15},    {6694, 18, 45.2, -1, 9, 24},  {6853, 19, 59.6, 1, 22, 43},
    {6626, 18, 24.5, -1, 24, 52}, {6913, 20, 23.9, 1, 38, 32},  {7099, 21, 40.4, -1, 23, 11},
    {224, 0, 42.7, 1, 41, 16},    {221, 0, 42.7, 1, 40, 52},    {598, 1, 33.9, 1, 30, 39},
    {1039, 2, 42.0, 1, 42, 47},   {2168, 6, 8.9, 1, 24, 20},    {1960, 5, 36.1, 1, 34, 8},
    {2099, 5, 52.4, 1, 32, 33},   {1912, 5, 28.4, 1, 35, 50},   {7092, 21, 32.2, 1, 48, 26},
    {0, 12, 22.4, 1, 58, 5},      {2287, 6, 46.0, -1, 20, 44},  {1976, 5, 35.4, -1, 5, 27},
    {1982, 5, 35.6, -1, 5, 16},   {2632, 8, 40.1, 1, 19, 59},   {0, 3, 47.0, 1, 24, 7},
    {2437, 7, 41.8, -1, 14, 49},  {2422, 7, 36.6, -1, 14, 30},  {2548, 8, 13.8, -1, 5, 48},
    {4472, 12, 29.8, 1, 8, 0},    {2323, 7, 3.2, -1, 8, 20},    {5194, 13, 29.9, 1, 47, 12},
    {7654, 23, 24.2, 1, 61, 35},  {5024, 13, 12.9, 1, 18, 10},  {6715, 18, 55.1, -1, 30, 29},
    {6809, 19, 40.0, -1, 30, 58}, {6779, 19, 16.6, 1, 30, 11},  {6720, 18, 53.6, 1, 33, 2},
    {4579, 12, 37.7, 1, 11, 49},  {4621, 12, 42.0, 1, 11, 39},  {4649, 12, 43.7, 1, 11, 33},
    {4303, 12, 21.9, 1, 4, 28},   {6266, 17, 1.2, -1, 30, 7},   {5055, 13, 15.8, 1, 42, 2},
    {4826, 12, 56.7, 1, 21, 41},  {3623, 11, 18.9, 1, 13, 5},   {3627, 11, 20.2, 1, 12, 59},
    {2682, 8, 50.4, 1, 11, 49},   {4590, 12, 39.5, -1, 26, 45}, {6637, 18, 31.4, -1, 32, 21},
    {6681, 18, 43.2, -1, 32, 18}, {6838, 19, 53.8, 1, 18, 47},  {6981, 20, 53.5, -1, 12, 32},
    {6994, 20, 58.9, -1, 12, 38}, {628, 1, 36.7, 1, 15, 47},    {6864, 20, 6.1, -1, 21, 55},
    {650, 1, 42.4, 1, 51, 34},    {1068, 2, 42.7, -1, 0, 1},    {2068, 5, 46.7, 1, 0, 3},
    {1904, 5, 24.5, -1, 24, 33},  {6093, 16, 17.0, -1, 22, 59}, {3031, 9, 55.6, 1, 69, 4},
    {3034, 9, 55.8, 1, 69, 41},   {5236, 13, 37.0, -1, 29, 52}, {4374, 12, 25.1, 1, 12, 53},
    {4382, 12, 25.4, 1, 18, 11},  {4406, 12, 26.2, 1, 12, 57},  {4486, 12, 30.8, 1, 12, 23},
    {4501, 12, 32.0, 1, 14, 25},  {4552, 12, 35.7, 1, 12, 33},  {4569, 12, 36.8, 1, 13, 10},
    {4548, 12, 35.4, 1, 14, 30},  {6341, 17, 17.1, 1, 43, 8},   {2447, 7, 44.6, -1, 23, 52},
    {4736, 12, 50.9, 1, 41, 7},   {3351, 10, 44.0, 1, 11, 42},  {3368, 10, 46.8, 1, 11, 49},
    {3587, 11, 14.8, 1, 55, 1},   {4192, 12, 13.8, 1, 14, 54},  {4254, 12, 18.8, 1, 14, 25},
    {4321, 12, 22.9, 1, 15, 49},  {5457, 14, 3.2, 1, 54, 21},   {5866, 15, 6.5, 1, 55, 46},
    {581, 1, 33.2, 1, 60, 42},    {4594, 12, 40.0, -1, 11, 37}, {3379, 10, 47.8, 1, 12, 35},
    {4258, 12, 19.0, 1, 47, 18},  {6171, 16, 32.5, -1, 13, 3},  {3556, 11, 11.5, 1, 55, 40},
    {3992, 11, 57.6, 1, 53, 23},  {205, 0, 40.4, 1, 41, 41},
};

Equatorial of_date(const MessierEntry& m, double jd) {
    ln_equ_posn mean{15.0 * (m.ra_h + m.ra_min / 60.0), m.sign * (m.dec_deg + m.dec_min / 60.0)};
    ln_equ_posn now{};
    ln_get_equ_prec2(&mean, kJ2000, jd, &now);
    return {now.ra, now.dec};
}

CatalogueObject messier_entry(int number, double jd) {
    const MessierEntry& m = kMessier[number - 1];
    char name[32];
    if (m.ngc > 0) {
        std::snprintf(name, sizeof name, "M%d NGC%d", number, m.ngc);
    } else {
        std::snprintf(name, sizeof name, "M%d", number);
    }
    return {name, of_date(m, jd)};
}

}  // namespace

double julian_day(double unix_seconds) {
    return kJulianDayOfUnixEpoch + unix_seconds / 86400.0;
}

double local_sidereal_hours(double jd, double longitude_deg) {
    const double lst = ln_get_apparent_sidereal_time(jd) + longitude_deg / 15.0;
    return lst - 24.0 * std::floor(lst / 24.0);
}

double altitude_deg(const Equatorial& p, double lst_hours, double latitude_deg) {
    const double ha = (lst_hours * 15.0 - p.ra_deg) * kRadPerDeg;
    const double lat = latitude_deg * kRadPerDeg;
    const double dec = p.dec_deg * kRadPerDeg;
    const double s = std::sin(lat) * std::sin(dec) + std::cos(lat) * std::cos(dec) * std::cos(ha);
    return std::asin(std::clamp(s, -1.0, 1.0)) / kRadPerDeg;
}

std::optional<CatalogueObject> messier_object(int number, double jd) {
    if (number < 1 || number > 110) return std::nullopt;
    return messier_entry(number, jd);
}

std::optional<CatalogueObject> ngc_object(int number, double jd) {
    if (number <= 0) return std::nullopt;
    for (int i = 0; i < 110; ++i) {
        if (kMessier[i].ngc == number) return messier_entry(i + 1, jd);
    }
    return std::nullopt;
}

std::optional<CatalogueObject> star_object(int number, double jd) {
    using PositionFn = void (*)(double, ln_equ_posn*);
    struct Planet {
        int number;
        const char* name;
        PositionFn position;
    };
    static constexpr Planet kPlanets[] = {
        {901, "MERCURY", ln_get_mercury_equ_coords}, {902, "VENUS", ln_get_venus_equ_coords},
        {904, "MARS", ln_get_mars_equ_coords},       {905, "JUPITER", ln_get_jupiter_equ_coords},
        {906, "SATURN", ln_get_saturn_equ_coords},   {907, "URANUS", ln_get_uranus_equ_coords},
        {908, "NEPTUNE", ln_get_neptune_equ_coords}, {909, "PLUTO", ln_get_pluto_equ_coords},
    };
    for (const Planet& p : kPlanets) {
        if (p.number != number) continue;
        ln_equ_posn at{};
        p.position(jd, &at);
        return CatalogueObject{p.name, {at.ra, at.dec}};
    }
    return std::nullopt;
}

}  // namespace kvr::sim
