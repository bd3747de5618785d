#include "output/PageSetupForm.h"

#include <algorithm>

namespace tessel {

TPageSetupForm PageSetupFormOf(const TPagePrinter &prn) {
    TPageSetupForm f;
    f.Header = SplitTemplate(prn.FriendlyHeader());
    f.Footer = SplitTemplate(prn.FriendlyFooter());
    f.HeaderFont = prn.HeaderFont();
    f.FooterFont = prn.FooterFont();
    f.Unit = prn.MeasureUnit();
    f.Margins = {prn.MarginTop(), prn.MarginBottom(), prn.MarginLeft(), prn.MarginRight()};
    for (double &m : f.Margins)
        m = std::min(m, kMaxMargin);
    f.Orientation = prn.Orientation();
    f.DataTable = prn.DataTable();
    return f;
}

void SwitchUnit(TPageSetupForm &form, int unit) {
    if (unit == form.Unit)
        return;
    for (double &m : form.Margins)
        m = ConvertMargin(m, form.Unit, unit);
    form.Unit = unit;
}

void ApplyPageSetupForm(const TPageSetupForm &form, TPagePrinter &prn) {
    prn.SetFriendlyHeader(JoinTemplate(form.Header));
    prn.SetFriendlyFooter(JoinTemplate(form.Footer));
    prn.SetHeaderFont(form.HeaderFont);
    prn.SetFooterFont(form.FooterFont);
    prn.SetMeasureUnit(form.Unit == muInches ? muInches : muMillimeters);
    prn.SetMarginTop(form.Margins[0]);
    prn.SetMarginBottom(form.Margins[1]);
    prn.SetMarginLeft(form.Margins[2]);
    prn.SetMarginRight(form.Margins[3]);
    prn.SetOrientation(form.Orientation);
    prn.SetDataTable(form.DataTable);
}

} // namespace tessel
