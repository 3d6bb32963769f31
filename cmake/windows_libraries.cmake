# TinyXML, libsquish, libpng with zlib, RapidJSON and pugixml for the Windows build: Debian ships no Windows builds,
# so their Debian source packages (the versions the Linux build uses, Debian's
# patches applied) are fetched into the build folder once and compiled here as
# static libraries with the options Debian builds them with.
set(VORDA_DEBIAN_SOURCES ${CMAKE_BINARY_DIR}/debian-sources)
execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/debian-sources.sh ${VORDA_DEBIAN_SOURCES}
                RESULT_VARIABLE fetch_result)
if(NOT fetch_result EQUAL 0)
  message(FATAL_ERROR "Could not fetch the Debian sources of the libraries")
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

# zlib and libpng as static libraries, libpng with the configuration its
# sources ship for builds without its configure step.
set(ZLIB_DIR ${VORDA_DEBIAN_SOURCES}/zlib)
add_library(vorda_zlib STATIC
  ${ZLIB_DIR}/adler32.c ${ZLIB_DIR}/compress.c ${ZLIB_DIR}/crc32.c ${ZLIB_DIR}/deflate.c ${ZLIB_DIR}/infback.c
  ${ZLIB_DIR}/inffast.c ${ZLIB_DIR}/inflate.c ${ZLIB_DIR}/inftrees.c ${ZLIB_DIR}/trees.c ${ZLIB_DIR}/uncompr.c
  ${ZLIB_DIR}/zutil.c)
target_include_directories(vorda_zlib SYSTEM PUBLIC ${ZLIB_DIR})
target_compile_options(vorda_zlib PRIVATE -w)

set(PNG_DIR ${VORDA_DEBIAN_SOURCES}/libpng1.6)
configure_file(${PNG_DIR}/scripts/pnglibconf.h.prebuilt ${CMAKE_BINARY_DIR}/png-config/pnglibconf.h COPYONLY)
add_library(vorda_png STATIC
  ${PNG_DIR}/png.c ${PNG_DIR}/pngerror.c ${PNG_DIR}/pngget.c ${PNG_DIR}/pngmem.c ${PNG_DIR}/pngpread.c
  ${PNG_DIR}/pngread.c ${PNG_DIR}/pngrio.c ${PNG_DIR}/pngrtran.c ${PNG_DIR}/pngrutil.c ${PNG_DIR}/pngset.c
  ${PNG_DIR}/pngtrans.c ${PNG_DIR}/pngwio.c ${PNG_DIR}/pngwrite.c ${PNG_DIR}/pngwtran.c ${PNG_DIR}/pngwutil.c)
target_include_directories(vorda_png SYSTEM PUBLIC ${PNG_DIR} ${CMAKE_BINARY_DIR}/png-config)
target_compile_options(vorda_png PRIVATE -w)
target_link_libraries(vorda_png PUBLIC vorda_zlib)
add_library(PkgConfig::PNG ALIAS vorda_png)

# pugixml as its own build makes it: one source file. (Its licence joins the
# zip's list below when the tool links it; only the readers do so far.)
set(PUGIXML_DIR ${VORDA_DEBIAN_SOURCES}/pugixml)
add_library(vorda_pugixml STATIC ${PUGIXML_DIR}/src/pugixml.cpp)
target_include_directories(vorda_pugixml SYSTEM PUBLIC ${PUGIXML_DIR}/src)
target_compile_options(vorda_pugixml PRIVATE -w)
add_library(PkgConfig::PUGIXML ALIAS vorda_pugixml)

# RapidJSON is headers only.
set(RAPIDJSON_INCLUDE_DIR ${VORDA_DEBIAN_SOURCES}/rapidjson/include)

# The licence texts of everything linked into the executable, for the zip.
set(VORDA_WINDOWS_LICENCES
  ${TINYXML_DIR}/debian/copyright=licences/TinyXML.txt
  ${SQUISH_DIR}/debian/copyright=licences/libsquish.txt
  ${SQUISH_DIR}/LICENSE.txt=licences/libsquish-LICENSE.txt
  ${PNG_DIR}/debian/copyright=licences/libpng.txt
  ${ZLIB_DIR}/debian/copyright=licences/zlib.txt
  ${VORDA_DEBIAN_SOURCES}/rapidjson/debian/copyright=licences/RapidJSON.txt
  /usr/share/doc/mingw-w64-common/copyright=licences/MinGW-w64-runtime.txt
  /usr/share/doc/gcc-mingw-w64-base/copyright=licences/GCC-runtime-libstdc++-libgcc.txt
  /usr/share/common-licenses/GPL-3=licences/GPL-3.txt)
