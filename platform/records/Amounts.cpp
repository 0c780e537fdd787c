#include "Amounts.h"

#include <algorithm>
#include <cmath>

namespace zpp::values {

double RoundCents(double value) {
    const double cents = value * 100;
    const double whole = std::floor(cents);
    const double hair = std::max(1e-9, std::abs(cents) * 1e-14);
    return (cents - whole >= 0.5 - hair ? whole + 1 : whole) / 100;
}

LineAmount AmountOf(double qty, double price, double discountRate, double taxRate) {
    LineAmount a;
    a.WithTax = RoundCents(qty * price * (1 - discountRate / 100));
    a.WithoutTax = RoundCents(a.WithTax / (1 + taxRate / 100));
    a.Tax = RoundCents(a.WithTax - a.WithoutTax);
    a.Discount = RoundCents(qty * price - a.WithTax);
    return a;
}

} // namespace zpp::values
