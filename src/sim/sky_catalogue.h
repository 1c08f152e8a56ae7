#pragma once
// What the simulated mount knows of the sky: the Messier objects (J2000 positions, with their
// NGC numbers), the planets by the hand controller's star numbers (Mercury 901 … Pluto 909),
// and the sky maths around them: Julian day, sidereal time, precession to the date, altitude.
// Planet positions and precession come from libnova.
#include <cstdint>
#include <optional>
#include <string>

namespace kvr::sim {

// A position on the sky, degrees.
struct Equatorial {
    double ra_deg = 0;
    double dec_deg = 0;
};

// An object the mount can go to: its name as the hand controller shows it and its position for
// the given date.
struct CatalogueObject {
    std::string name;
    Equatorial position;
};

// Julian day of a calendar instant given as seconds since 1970 UTC.
double julian_day(double unix_seconds);
// Local apparent sidereal time, hours in [0, 24).
double local_sidereal_hours(double jd, double longitude_deg);
// Altitude of `p` (degrees) for an observer at `latitude_deg` at sidereal time `lst_hours`.
double altitude_deg(const Equatorial& p, double lst_hours, double latitude_deg);

// Catalogue look-ups at Julian day `jd`, positions of the date. Nothing for a number the mount
// cannot place: Messier outside 1 … 110, an NGC number that is not one of the Messier
// objects', a star number other than a planet's.
std::optional<CatalogueObject> messier_object(int number, double jd);
std::optional<CatalogueObject> ngc_object(int number, double jd);
std::optional<CatalogueObject> star_object(int number, double jd);

}  // namespace kvr::sim
