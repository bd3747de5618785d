#pragma once

#include <QString>

namespace tessel {

// Unit of the page margins.
enum TMeasureUnit : int { muInches = 0, muMillimeters = 1 };
enum TPageOrientation : int { poPortrait = 0, poLandscape = 1 };
// What the printout's data table lists.
enum TPrintTableContents : int { ptProperties = 0, ptParameters = 1 };

// The margin fields accept no more than this, in either unit.
constexpr double kMaxMargin = 1000;

// A margin as the page setup dialog keeps it: a multiple of 0.05 inch or a
// whole millimetre (halves to even), within 0 .. 1000.
double RoundMargin(double value, int unit);
// The margin in the other unit, rounded for that unit.
double ConvertMargin(double value, int fromUnit, int toUnit);
// Margin in inches, whatever its unit.
double MarginInches(double value, int unit);

// The page settings kept between runs.
struct TPageSetup {
    QString FriendlyHeader, FriendlyFooter;
    int MeasureUnit = muInches;
    double MarginTop = 0, MarginBottom = 0, MarginLeft = 0, MarginRight = 0;
    int Orientation = poPortrait;
    int DataTable = ptProperties; // stored as "DataTable"
    bool operator==(const TPageSetup &o) const = default;
};

// "Software\KRT\Tessel\2.90\AppSettings\PageSetup": beneath the application store.
QString PageSetupKey();
// Each value stored under the key replaces the one in setup; a missing key
// or value (or a margin not stored as 8 bytes) leaves it as it is. Returns
// whether the key exists.
bool LoadPageSetup(TPageSetup &setup, const QString &key = PageSetupKey());
// Writes every value (the eight of the page and "DataTable"), creating the key.
void SavePageSetup(const TPageSetup &setup, const QString &key = PageSetupKey());

} // namespace tessel
