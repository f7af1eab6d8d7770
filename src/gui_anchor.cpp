// Gives ov_gui a translation unit of its own before the window subsystems add theirs.
namespace ov::gui {
int Anchor() {
    return 0;
}
} // namespace ov::gui
