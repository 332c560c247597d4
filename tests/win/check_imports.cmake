cmake_policy(SET CMP0057 NEW)
# Fails when a program file imports a library that Windows may take from the
# program's own folder: only Windows' known DLLs (on every Windows the
# program supports, 7 to 11), which always come from the system folder, and
# comctl32, which the manifest binds to version 6 in the side-by-side store.
# Nor may it import what a Windows 7 without KB2533623 lacks: the program
# would not start there. It is marked aware of Remote Desktop, where
# GetWindowsDirectoryW would otherwise name a folder of the user's own (the
# help viewer is started from the Windows folder). And no source of ours
# loads a library by a bare name through the plain search.
#   cmake -DOBJDUMP=... -DPROGRAMS="a.exe;b.exe" -DSOURCES=top -P check_imports.cmake
set(allowed advapi32 clbcatq comdlg32 difxapi gdi32 imagehlp imm32 kernel32 msctf msvcrt normaliz nsi
  ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi shell32 shlwapi user32 wldap32 ws2_32
  comctl32)
foreach(program IN LISTS PROGRAMS)
  execute_process(COMMAND ${OBJDUMP} -p ${program} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  # Import and delay-import tables alike name their libraries so.
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" names "${dump}")
  if(failed OR NOT names)
    message(FATAL_ERROR "${program}: no import table read")
  endif()
  foreach(name IN LISTS names)
    string(REGEX REPLACE "DLL Name: *([^ ]+)\\.[dD][lL][lL] *$" "\\1" library "${name}")
    string(TOLOWER "${library}" library)
    if(NOT library IN_LIST allowed)
      message(FATAL_ERROR "${program} imports ${library}: load it through win::LoadSystemLibrary")
    endif()
  endforeach()
  if(NOT dump MATCHES "TERMINAL_SERVICE_AWARE")
    message(FATAL_ERROR "${program} is not marked aware of Remote Desktop (-Wl,--tsaware)")
  endif()
  string(REGEX MATCH "[ \t](SetDefaultDllDirectories|AddDllDirectory|RemoveDllDirectory)[\r\n]" newer "${dump}")
  if(newer)
    message(FATAL_ERROR "${program} imports${newer}: look it up with GetProcAddress")
  endif()
endforeach()
foreach(folder app cli findings flow net ui win)
  file(GLOB_RECURSE files ${SOURCES}/${folder}/*.cpp ${SOURCES}/${folder}/*.h)
  foreach(file IN LISTS files)
    file(STRINGS ${file} calls REGEX "LoadLibrary[AW]?[ \t]*\\(")
    if(calls)
      message(FATAL_ERROR "${file}: ${calls}: use win::LoadSystemLibrary")
    endif()
  endforeach()
endforeach()
