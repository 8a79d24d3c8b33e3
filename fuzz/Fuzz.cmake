# The fuzz build: the engines instrumented for libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (set in CMakeLists.txt before any target), and one
# program per reader and per engine that takes user data.
#
# qpdf 11's headers do not compile with clang against libstdc++ 12 in C++20
# mode (JSON.hh uses an incomplete type in a vector), so the files that
# include them are built with gcc, uninstrumented, and linked in as objects.

set(FOLMIRA_GCC "g++" CACHE STRING "The gcc that builds the files including qpdf")
set(qpdf_sources PdfContent PdfContentCost PdfDocument PdfImposer PdfWriter PrintJob QpdfHandle)

get_target_property(qpdf_includes qpdf::libqpdf INTERFACE_INCLUDE_DIRECTORIES)
set(gcc_flags -std=c++20 -O1 -g -fPIC -DPOINTERHOLDER_TRANSITION=4 "-I${CMAKE_SOURCE_DIR}")
foreach(dir IN LISTS qpdf_includes CAIRO_INCLUDE_DIRS POPPLER_GLIB_INCLUDE_DIRS PANGO_INCLUDE_DIRS GDK_PIXBUF_INCLUDE_DIRS)
  list(APPEND gcc_flags "-I${dir}")
endforeach()
list(REMOVE_DUPLICATES gcc_flags)

get_target_property(platform_sources Platform SOURCES)
set(gcc_objects)
foreach(name IN LISTS qpdf_sources)
  set(source "${CMAKE_SOURCE_DIR}/Platform/${name}.cpp")
  set(object "${CMAKE_BINARY_DIR}/gcc/${name}.o")
  add_custom_command(OUTPUT "${object}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/gcc"
    COMMAND ${FOLMIRA_GCC} ${gcc_flags} -c "${source}" -o "${object}"
    DEPENDS "${source}" "${CMAKE_SOURCE_DIR}/Platform/${name}.h"
    IMPLICIT_DEPENDS CXX "${source}"
    COMMENT "Building ${name}.cpp with gcc (it includes qpdf)"
    VERBATIM)
  list(REMOVE_ITEM platform_sources "${source}")
  list(APPEND gcc_objects "${object}")
endforeach()
set_source_files_properties(${gcc_objects} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
set_property(TARGET Platform PROPERTY SOURCES ${platform_sources} ${gcc_objects})

function(folmira_fuzz name source)
  cmake_parse_arguments(F "" "" "LIBS;DEFINES" ${ARGN})
  add_executable(fuzz-${name} "${CMAKE_SOURCE_DIR}/fuzz/${source}")
  target_include_directories(fuzz-${name} PRIVATE "${CMAKE_SOURCE_DIR}")
  target_link_libraries(fuzz-${name} PRIVATE ${F_LIBS})
  target_compile_definitions(fuzz-${name} PRIVATE ${F_DEFINES})
  target_link_options(fuzz-${name} PRIVATE -fsanitize=fuzzer)
endfunction()

folmira_fuzz(text ReadDocument.cpp LIBS FolmiraKit DEFINES FUZZ_EXTENSION="txt")
folmira_fuzz(markdown ReadDocument.cpp LIBS FolmiraKit DEFINES FUZZ_EXTENSION="md")
folmira_fuzz(rtf ReadDocument.cpp LIBS FolmiraKit DEFINES FUZZ_EXTENSION="rtf")
folmira_fuzz(docx ReadDocument.cpp LIBS FolmiraKit DEFINES FUZZ_EXTENSION="docx")
folmira_fuzz(pdf ReadDocument.cpp LIBS FolmiraKit DEFINES FUZZ_EXTENSION="pdf")
folmira_fuzz(rtf-importer RichTextImporter.cpp LIBS Platform)
folmira_fuzz(pdf-content PdfContentLexer.cpp LIBS Platform)
folmira_fuzz(zip ZipArchive.cpp LIBS FolmiraKit)
folmira_fuzz(render RenderDocument.cpp LIBS FolmiraKit)
folmira_fuzz(settings SettingsJson.cpp LIBS FolmiraKit)
folmira_fuzz(chordpro ChordPro.cpp LIBS TunequillKit)
folmira_fuzz(chords-over-lyrics ChordsOverLyrics.cpp LIBS TunequillKit)
folmira_fuzz(library LibraryJson.cpp LIBS TunequillKit)
folmira_fuzz(songbook-render SongbookRender.cpp LIBS TunequillKit)
