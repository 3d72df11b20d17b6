# Runs the fuzzer for a bounded time on a fresh copy of its seed corpus (the FLIC
# files in the SEEDS folder).
file(REMOVE_RECURSE ${CORPUS})
file(MAKE_DIRECTORY ${CORPUS})
file(GLOB seed_files ${SEEDS}/*.fli ${SEEDS}/*.flc)
file(COPY ${seed_files} DESTINATION ${CORPUS})
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -max_len=65536 -timeout=10 -rss_limit_mb=2048
                        -print_final_stats=1 ${CORPUS}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed: ${result}")
endif()
