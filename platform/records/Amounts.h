#pragma once

namespace zpp::values {

// What a line comes to, to the cent. The price includes tax, so the amount does too; the tax
// is what remains of it once the amount without tax is taken off. The discount is what the
// discount rate took off qty × price. The list, its chart and the purchase orders all count
// with this, so a row's amount in the list is the amount of the order line it becomes.
struct LineAmount {
    double WithTax = 0, WithoutTax = 0, Tax = 0, Discount = 0;
};

// To the cent, halves up. A half cent in decimals may lie a hair below the half in binary
// (1.005 is 100.4999… cents as a double), so a hair below the half counts as the half.
double RoundCents(double value);

// qty × price less the discount (rates in percent); without tax = amount / (1 + tax rate), each
// rounded to the cent. Callers pass the figures as the user sees them.
LineAmount AmountOf(double qty, double price, double discountRate, double taxRate);

} // namespace zpp::values
