# The check of the floors on sources written here: an include of a header of
# a floor above, in quotes or in angle brackets, is found; one of a floor
# below, and a system header, are not. Run as
#   cmake -DROOT=<repository> -DWORK=<empty folder> -P tst_layers.cmake
include(${ROOT}/cmake/layers.cmake)
file(REMOVE_RECURSE ${WORK})
file(WRITE ${WORK}/storage/a.cpp "#include \"storage/b.h\"\n#include <functional>\n#include <view/tablefit.h>\n")
file(WRITE ${WORK}/view/c.cpp "#  include <storage/register/roster.h>\n#include \"windows/mainwindow.h\"\n")
set(faults "")
vedomer_layer_faults(${WORK} storage/a.cpp storage faults)
vedomer_layer_faults(${WORK} view/c.cpp view faults)
set(expected "src/storage/a.cpp (storage) includes \"view/tablefit.h\" (view)"
             "src/view/c.cpp (view) includes \"windows/mainwindow.h\" (windows)")
if(NOT faults STREQUAL expected)
    message(FATAL_ERROR "found:\n${faults}\nexpected:\n${expected}")
endif()
