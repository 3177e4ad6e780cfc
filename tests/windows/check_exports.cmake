# Lists the export table of the DLL (objdump -p) and fails unless every
# exported name is a member of CCorrelationAnalyser and every member a host
# calls is there.
#   cmake -DOBJDUMP=... -DDLL=.../tokenweave.dll -P check_exports.cmake
cmake_policy(VERSION 3.20)

include(${CMAKE_CURRENT_LIST_DIR}/pe_listing.cmake)
read_pe_listing(${DLL} listing)

# Export names are the lines "[  N] name" after "[Ordinal/Name Pointer] Table",
# up to the first empty line.
string(FIND "${listing}" "[Ordinal/Name Pointer] Table" table_start)
if(table_start EQUAL -1)
    message(FATAL_ERROR "${DLL} has no export name table")
endif()
string(SUBSTRING "${listing}" ${table_start} -1 table)
string(FIND "${table}" "\n\n" table_end)
string(SUBSTRING "${table}" 0 ${table_end} table)
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" entries "${table}")
set(exported)
foreach(entry ${entries})
    string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${entry}")
    list(APPEND exported "${name}")
endforeach()
list(LENGTH exported export_count)
message(STATUS "${export_count} exports")

# Members (const ones included) of the class and of its nested exception.
set(class_prefix "^_ZNK?20CCorrelationAnalyser")
foreach(name ${exported})
    if(NOT name MATCHES "${class_prefix}")
        message(SEND_ERROR "exported, but not a member of CCorrelationAnalyser: ${name}")
    endif()
endforeach()

# Both constructors, the destructor and every method of the interface.
set(required
    _ZN20CCorrelationAnalyserC1EPKcS1_PFiPvfES2_S1_S1_
    _ZN20CCorrelationAnalyserC1EPKcS1_PFiPvfES2_
    _ZN20CCorrelationAnalyserD1Ev
    _ZN20CCorrelationAnalyser10BuildIndexEv
    _ZN20CCorrelationAnalyser15InputTokenQueryEPKcS1_iS1_f
    _ZN20CCorrelationAnalyser16OutputTokenQueryEPKcS1_iS1_f
    _ZN20CCorrelationAnalyser11CursorQueryEPKciS1_f
    _ZN20CCorrelationAnalyser16FindCorrelationsEPKcfi
    _ZN20CCorrelationAnalyser13IncreaseGradeEPKcS1_iS1_i
    _ZN20CCorrelationAnalyser13DecreaseGradeEPKcS1_iS1_i
    _ZN20CCorrelationAnalyser13EvaluateTokenEP17token_instances_tP15token_entry_tagS3_
    _ZN20CCorrelationAnalyser12AnalyseIndexEv
    _ZN20CCorrelationAnalyser13AddToStopListEPKc
    _ZN20CCorrelationAnalyser13ResetStopListEv
    _ZN20CCorrelationAnalyser13ExportDatFileEv
    _ZN20CCorrelationAnalyser13ExportDatFileEPKc
    _ZN20CCorrelationAnalyser15SetDataFilePathEPKc
    _ZNK20CCorrelationAnalyser15BuildDiagnosticEiP21tokenweave_diagnostic)
foreach(name ${required})
    if(NOT name IN_LIST exported)
        message(SEND_ERROR "not exported: ${name}")
    endif()
endforeach()
