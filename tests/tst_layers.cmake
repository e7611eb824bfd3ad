# The check of the floors on sources written here: an include of a header of
# a floor above, in quotes or in angle brackets, is found; one of a floor
# below, and a system header, are not. Storage's db/ includes nothing of the
# rooms built on it. Run as
#   cmake -DROOT=<repository> -DWORK=<empty folder> -P tst_layers.cmake
include(${ROOT}/cmake/layers.cmake)
file(REMOVE_RECURSE ${WORK})
file(WRITE ${WORK}/storage/a.cpp "#include \"storage/b.h\"\n#include <functional>\n#include <view/tablefit.h>\n")
file(WRITE ${WORK}/view/c.cpp "#  include <storage/register/roster.h>\n#include \"windows/mainwindow.h\"\n")
file(WRITE ${WORK}/storage/db/d.cpp "#include \"storage/db/sql.h\"\n#include <storage/history/historylog.h>\n")
set(faults "")
vedomer_layer_faults(${WORK} storage/a.cpp storage faults)
vedomer_layer_faults(${WORK} view/c.cpp view faults)
vedomer_layer_faults(${WORK} storage/db/d.cpp storage faults)
set(expected "src/storage/a.cpp (storage) includes \"view/tablefit.h\" (view)"
             "src/view/c.cpp (view) includes \"windows/mainwindow.h\" (windows)"
             "src/storage/db/d.cpp (storage/db) includes \"storage/history/historylog.h\" (storage/history)")
if(NOT faults STREQUAL expected)
    message(FATAL_ERROR "found:\n${faults}\nexpected:\n${expected}")
endif()
