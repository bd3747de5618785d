#pragma once

#include "output/PagePrinter.h"

#include <QFont>
#include <array>

namespace tessel {

// What the "Page Setup" dialog shows and edits: the six header and footer
// parts, the two fonts, the unit with the four margins, the orientation.
struct TPageSetupForm {
    TTemplateParts Header, Footer;
    QFont HeaderFont, FooterFont;
    int Unit = muInches;
    // Top, bottom, left, right.
    std::array<double, 4> Margins{};
    int Orientation = poPortrait;
    int DataTable = ptProperties;
};

// Filling: the templates split into their parts, margins at most 1000.
TPageSetupForm PageSetupFormOf(const TPagePrinter &prn);
// The unit switch: every margin converted and rounded for the new unit.
void SwitchUnit(TPageSetupForm &form, int unit);
// OK: the templates joined from the parts, then fonts, unit, margins and
// orientation into the page printer.
void ApplyPageSetupForm(const TPageSetupForm &form, TPagePrinter &prn);

} // namespace tessel
