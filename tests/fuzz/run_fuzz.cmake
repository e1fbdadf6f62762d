# Runs one fuzz target for a bounded time on a scratch copy of its seeds.
file(REMOVE_RECURSE ${CORPUS})
file(MAKE_DIRECTORY ${CORPUS})
if(SEEDS AND EXISTS ${SEEDS})
  file(GLOB seeds ${SEEDS}/*)
  if(seeds)
    file(COPY ${seeds} DESTINATION ${CORPUS})
  endif()
endif()
execute_process(COMMAND ${TARGET} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 ${CORPUS}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "fuzz target failed (${status})")
endif()
