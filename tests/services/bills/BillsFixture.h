#pragma once

#include "services/ServiceFixture.h"

namespace zpp::test {

// A store of either kind with one plan and two purchase orders made from it:
//   plan PP001 (id 1): entry 1 item 01.001 qty 50, ordered 20; entry 2 item 01.001 qty 10,
//     ordered 10; entry 3 item 01.002 qty 4, ordered 4; entry 4 with no links.
//   PO001 (id 1, 2024-05-10, supplier 01.001, by admin): line 1 item 01.001 qty 30 at 10,
//     taken 20 from entry 1 and 10 from entry 2; line 2 item 01.002 qty 5, typed by hand.
//   PO002 (id 2, closed): line 1 item 01.002 qty 4 from entry 3.
//   Price list: supplier 1 item 1 unit 1 at 10 from 2024-01-01 (and 99 from 2999-01-01).
class BillsTest : public WiredStoreTest {
protected:
    void Seed() override;
    // A log-in of another user of the store; on PostgreSQL connected as the user's own role, as
    // the program connects, so the server holds it to the user's privileges.
    store::SessionPtr SessionAs(const QString& user) const;
    double LineQty(int orderId, int lineNo) const;
    double LinePrice() const; // of PO001 line 1
    double Ordered(int entryId) const;
};

} // namespace zpp::test
