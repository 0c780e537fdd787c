# Fuzzed texts and the rights matrix over the real wiring, on both stores.
zpp_add_test(test_reliability_input
    SOURCES FuzzTest.cpp RightsTest.cpp InputFixture.cpp
    LIBS zpp_wiring zpp_component zpp_reliability
    LABELS reliability pg)
