# TinyXML and libsquish for the Windows build: Debian ships no Windows builds,
# so their Debian source packages (the versions the Linux build uses, Debian's
# patches applied) are fetched into the build folder once and compiled here as
# static libraries with the options Debian builds them with.
set(VORDA_DEBIAN_SOURCES ${CMAKE_BINARY_DIR}/debian-sources)
execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/debian-sources.sh ${VORDA_DEBIAN_SOURCES}
                RESULT_VARIABLE fetch_result)
if(NOT fetch_result EQUAL 0)
  message(FATAL_ERROR "Could not fetch the Debian sources of TinyXML and libsquish")
endif()

# TinyXML as Debian's rules build it: the three objects of its static library,
# with the STL strings its header enforces.
set(TINYXML_DIR ${VORDA_DEBIAN_SOURCES}/tinyxml)
add_library(vorda_tinyxml STATIC
  ${TINYXML_DIR}/tinyxml.cpp ${TINYXML_DIR}/tinyxmlparser.cpp ${TINYXML_DIR}/tinyxmlerror.cpp)
target_compile_definitions(vorda_tinyxml PUBLIC TIXML_USE_STL)
target_include_directories(vorda_tinyxml SYSTEM PUBLIC ${TINYXML_DIR})
target_compile_options(vorda_tinyxml PRIVATE -w)
add_library(PkgConfig::TINYXML ALIAS vorda_tinyxml)

# libsquish with SSE2 as its own build uses on x86-64. Its OpenMP threads only
# speed up compression, which the tool never does, so they are left out.
set(SQUISH_DIR ${VORDA_DEBIAN_SOURCES}/libsquish)
add_library(squish_lib STATIC
  ${SQUISH_DIR}/alpha.cpp ${SQUISH_DIR}/clusterfit.cpp ${SQUISH_DIR}/colourblock.cpp ${SQUISH_DIR}/colourfit.cpp
  ${SQUISH_DIR}/colourset.cpp ${SQUISH_DIR}/maths.cpp ${SQUISH_DIR}/rangefit.cpp ${SQUISH_DIR}/singlecolourfit.cpp
  ${SQUISH_DIR}/squish.cpp)
target_compile_definitions(squish_lib PRIVATE SQUISH_USE_SSE=2)
target_include_directories(squish_lib SYSTEM PUBLIC ${SQUISH_DIR})
target_compile_options(squish_lib PRIVATE -w -msse2)

# The licence texts of everything linked into the executable, for the zip.
set(VORDA_WINDOWS_LICENCES
  ${TINYXML_DIR}/debian/copyright=licences/TinyXML.txt
  ${SQUISH_DIR}/debian/copyright=licences/libsquish.txt
  ${SQUISH_DIR}/LICENSE.txt=licences/libsquish-LICENSE.txt
  /usr/share/doc/mingw-w64-common/copyright=licences/MinGW-w64-runtime.txt
  /usr/share/doc/gcc-mingw-w64-base/copyright=licences/GCC-runtime-libstdc++-libgcc.txt
  /usr/share/common-licenses/GPL-3=licences/GPL-3.txt)
