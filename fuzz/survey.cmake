# The survey: the service's reply, the country list, and the service's check of a request
# (quillet-survey-server).
quillet_fuzz_target(survey_reply survey_reply_fuzz.cpp)
quillet_fuzz_target(country_list country_list_fuzz.cpp)
quillet_fuzz_target(survey_request survey_request_fuzz.cpp)
target_link_libraries(fuzz_survey_request PRIVATE quillet_survey_check)
