# Runs a fuzz target for a bounded time on a fresh copy of its seeds: the files with
# the given extensions in the SEEDS folder, and every file in EXTRA_SEEDS when given.
#   cmake -DFUZZER=... -DCORPUS=... -DSEEDS=... -DEXTENSIONS=fli,flc [-DEXTRA_SEEDS=...]
#         -DDICT=... -DMAX_LEN=... -DSECONDS=... -P run_fuzz.cmake
file(REMOVE_RECURSE ${CORPUS})
file(MAKE_DIRECTORY ${CORPUS})
string(REPLACE "," ";" extensions "${EXTENSIONS}")
set(patterns "")
foreach(ext ${extensions})
  list(APPEND patterns ${SEEDS}/*.${ext})
endforeach()
if(EXTRA_SEEDS)
  list(APPEND patterns ${EXTRA_SEEDS}/*)
endif()
file(GLOB seed_files ${patterns})
file(COPY ${seed_files} DESTINATION ${CORPUS})
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -max_len=${MAX_LEN} -timeout=10 -rss_limit_mb=2048
                        -dict=${DICT} -print_final_stats=1 ${CORPUS}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed: ${result}")
endif()
