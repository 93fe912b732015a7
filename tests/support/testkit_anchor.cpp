// Keeps the test kit a valid library while it holds no builder of its own.
namespace tbp::testkit {
int anchor() { return 0; }
}  // namespace tbp::testkit
