# Runs at install time (see QuillmapInstall.cmake): writes the launcher bin/quillmapgen and the
# desktop entry with the prefix's absolute folders, and installs them. The caller sets
# QUILLMAP_SOURCE_DIR, QUILLMAP_SCRATCH_DIR and the folders under the prefix.

function(quillmap_absolute out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

quillmap_absolute(program_dir "${QUILLMAP_PROGRAM_DIR}")
quillmap_absolute(data_dir "${QUILLMAP_DATA_DIR}")
quillmap_absolute(bin_dir "${QUILLMAP_BIN_DIR}")
quillmap_absolute(applications_dir "${QUILLMAP_APPLICATIONS_DIR}")

# The launcher is a POSIX shell script: the folders go in single quotes.
string(REPLACE "'" "'\\''" QUILLMAP_SH_DATA_DIR "${data_dir}")
string(REPLACE "'" "'\\''" QUILLMAP_SH_PROGRAM "${program_dir}/quillmapgen")

# Desktop entries: Path is a plain string (backslashes doubled); Exec is a command line, quoted
# when it holds more than plain path characters, and then escaped twice (once for the quoting,
# once for the string).
set(launcher "${bin_dir}/quillmapgen")
string(REPLACE "\\" "\\\\" QUILLMAP_DESKTOP_PATH "${data_dir}")
if(launcher MATCHES "^[A-Za-z0-9/._+-]+$")
  set(QUILLMAP_DESKTOP_EXEC "${launcher}")
else()
  set(quoted "${launcher}")
  foreach(special "\\" "\"" "`" "$")
    string(REPLACE "${special}" "\\${special}" quoted "${quoted}")
  endforeach()
  string(REPLACE "\\" "\\\\" quoted "${quoted}")
  string(REPLACE "%" "%%" quoted "${quoted}")
  set(QUILLMAP_DESKTOP_EXEC "\"${quoted}\"")
endif()

configure_file("${QUILLMAP_SOURCE_DIR}/packaging/quillmapgen.sh.in"
               "${QUILLMAP_SCRATCH_DIR}/quillmapgen" @ONLY)
configure_file("${QUILLMAP_SOURCE_DIR}/packaging/quillmapgen.desktop.in"
               "${QUILLMAP_SCRATCH_DIR}/quillmapgen.desktop" @ONLY)

file(INSTALL "${QUILLMAP_SCRATCH_DIR}/quillmapgen" DESTINATION "${bin_dir}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                      WORLD_READ WORLD_EXECUTE)
file(INSTALL "${QUILLMAP_SCRATCH_DIR}/quillmapgen.desktop" DESTINATION "${applications_dir}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
