// "Save as Tiff file...": the save dialog in TIFF mode.
#include "core/host.h"
#include "core/program.h"
#include "files/file_dialogs.h"
#include "files/tiff_file.h"

namespace kvr {

void tif_save(Program& p) {
    p.settings.save_tif = 1;
    run_save_dialog(p, {"Tiff file (*.TIF)|*.TIF|All Files(*.*)|*.*|", "TIF", "*.TIF",
                        [](Program& q, const std::string& path) {
                            q.host.set_wait_cursor(true);
                            const int r = save_tif_file(q, path, q.ptr.image, q.settings.tifswitch);
                            q.host.set_wait_cursor(false);
                            return r;
                        }});
    p.settings.save_tif = 0;
}

}  // namespace kvr
