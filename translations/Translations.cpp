// Holds the embedded translation catalogues; nothing to call.
namespace zpp::translations {
int Anchor() {
    return 0;
}
} // namespace zpp::translations
