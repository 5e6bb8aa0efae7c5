# bzip2 and liblzma for the ZIP reader's methods 12 and 14, as FolioCodecs::Bzip2 and
# FolioCodecs::Lzma. The host takes Debian's libbz2-dev and liblzma-dev; the Windows
# targets take static libraries that scripts/mingw-codecs builds once per build folder
# from Debian's source packages, so the product still needs no DLL of ours.
if(WIN32)
  set(FOLIO_CODECS_DIR ${CMAKE_BINARY_DIR}/codecs)
  execute_process(
    COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/mingw-codecs ${FOLIO_MINGW_TRIPLE} ${FOLIO_CODECS_DIR}
    RESULT_VARIABLE codecs_result)
  if(NOT codecs_result EQUAL 0)
    message(FATAL_ERROR "scripts/mingw-codecs could not build bzip2 and liblzma for ${FOLIO_MINGW_TRIPLE}")
  endif()
  add_library(FolioCodecs::Bzip2 STATIC IMPORTED)
  set_target_properties(FolioCodecs::Bzip2 PROPERTIES
    IMPORTED_LOCATION ${FOLIO_CODECS_DIR}/lib/libbz2.a
    INTERFACE_INCLUDE_DIRECTORIES ${FOLIO_CODECS_DIR}/include)
  add_library(FolioCodecs::Lzma STATIC IMPORTED)
  set_target_properties(FolioCodecs::Lzma PROPERTIES
    IMPORTED_LOCATION ${FOLIO_CODECS_DIR}/lib/liblzma.a
    INTERFACE_INCLUDE_DIRECTORIES ${FOLIO_CODECS_DIR}/include
    INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)
else()
  find_package(BZip2 REQUIRED)
  find_package(LibLZMA REQUIRED)
  add_library(FolioCodecs::Bzip2 ALIAS BZip2::BZip2)
  add_library(FolioCodecs::Lzma ALIAS LibLZMA::LibLZMA)
endif()
