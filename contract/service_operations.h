#pragma once
// The service's operations in the contract's interface order: the one place
// where each is written. The service interface (service.h), the SOAP binding
// table (soap_binding.cpp) and the proxy (service_proxy.cpp) are expanded
// from this list, and so are the methods the tests' fake service declares
// (tests/support/fake_service.h; its answers are written out per operation in
// fake_service.cpp, and the build fails while one is missing). The test
// double's own table is checked against this file by
// tests/double/test_service_double.py.
//
// X(Name, Result, Parameters, Arguments, ChangesData)
//   Name: the method, the request's wrapper element and the end of its
//     SOAPAction;
//   Result: a std::unique_ptr to a record, a record array, std::string or
//     bool; the reply's kind and record type follow from it;
//   Parameters: the method's parameter list;
//   Arguments: the same names in the same order, which are the request's
//     parameter elements;
//   ChangesData: the service creates or changes data, so the request may
//     reach it at most once per attempt.
// Expanded inside namespace tindrel, with contract/records.h included.

#define TINDREL_SERVICE_OPERATIONS(X)                                                              \
  X(GetVehicleData, std::unique_ptr<Tindrel2VehicleData2>,                                         \
    (const std::string& regNo, const ORVSecurityToken2* token), (regNo, token), false)             \
  X(GetCustomers, ArrayOfTindrel2CustomerData,                                                     \
    (const ORVSecurityToken2* token), (token), false)                                              \
  X(GetCustomer, std::unique_ptr<Tindrel2CustomerData2>,                                           \
    (const std::string& customerNo, const ORVSecurityToken2* token),                               \
    (customerNo, token), false)                                                                    \
  X(SaveCustomer, std::unique_ptr<Tindrel2CustomerData2>,                                          \
    (const Tindrel2CustomerData2& customerData, const ORVSecurityToken2* token),                   \
    (customerData, token), true)                                                                   \
  X(SaveInspection, std::unique_ptr<Tindrel2InspectionData2>,                                      \
    (const Tindrel2InspectionData2& inspectionData, const ORVSecurityToken2* token),               \
    (inspectionData, token), true)                                                                 \
  X(GetInspectionURL, std::string,                                                                 \
    (const std::string& inspectionNo, const ORVSecurityToken2* token),                             \
    (inspectionNo, token), false)                                                                  \
  X(Authenticate, std::unique_ptr<ORVSecurityToken2>,                                              \
    (const std::string& userName, const std::string& password, const std::string& salt),           \
    (userName, password, salt), false)                                                             \
  X(RenewToken, std::unique_ptr<ORVSecurityToken2>,                                                \
    (const ORVSecurityToken2* token), (token), false)                                              \
  X(IsTokenValid, bool,                                                                            \
    (const ORVSecurityToken2* token), (token), false)                                              \
  X(IsVehicleApprovedForPeriod, std::unique_ptr<Tindrel2VehicleApprovalData2>,                     \
    (const std::string& regNo, int32_t month, int32_t year, const ORVSecurityToken2* token),       \
    (regNo, month, year, token), false)                                                            \
  X(GetInspectionsForVehicleForPeriod, ArrayOfTindrel2VehicleApprovalData,                         \
    (const std::string& regNo, int32_t month, int32_t year, const ORVSecurityToken2* token),       \
    (regNo, month, year, token), false)                                                            \
  X(GetInspectionData, std::unique_ptr<Tindrel2InspectionData2>,                                   \
    (const std::string& inspectionNo, const ORVSecurityToken2* token),                             \
    (inspectionNo, token), false)

// A row's Arguments as an argument list: TINDREL_UNPARENTHESIZED (a, b) is a, b.
#define TINDREL_UNPARENTHESIZED(...) __VA_ARGS__
