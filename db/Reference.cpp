// Reference data of the demo: real Brazilian municipalities.
#include "Generator.h"

namespace peddb {

const std::vector<Municipality>& municipalities()
{
    static const std::vector<Municipality> m = {
        {"SP", "0001", "São Paulo"},      {"SP", "0002", "Campinas"},        {"SP", "0003", "Santos"},
        {"SP", "0004", "Ribeirão Preto"}, {"SP", "0005", "Sorocaba"},        {"SP", "0006", "São José dos Campos"},
        {"SP", "0007", "Jundiaí"},        {"SP", "0008", "Piracicaba"},      {"SP", "0009", "Bauru"},
        {"SP", "0010", "Guarulhos"},      {"RJ", "0001", "Rio de Janeiro"},  {"RJ", "0002", "Niterói"},
        {"RJ", "0003", "Petrópolis"},     {"RJ", "0004", "Volta Redonda"},   {"RJ", "0005", "Campos dos Goytacazes"},
        {"MG", "0001", "Belo Horizonte"}, {"MG", "0002", "Uberlândia"},      {"MG", "0003", "Juiz de Fora"},
        {"MG", "0004", "Contagem"},       {"MG", "0005", "Montes Claros"},   {"MG", "0006", "Uberaba"},
        {"PR", "0001", "Curitiba"},       {"PR", "0002", "Londrina"},        {"PR", "0003", "Maringá"},
        {"PR", "0004", "Ponta Grossa"},   {"PR", "0005", "Cascavel"},        {"SC", "0001", "Florianópolis"},
        {"SC", "0002", "Joinville"},      {"SC", "0003", "Blumenau"},        {"SC", "0004", "Chapecó"},
        {"RS", "0001", "Porto Alegre"},   {"RS", "0002", "Caxias do Sul"},   {"RS", "0003", "Pelotas"},
        {"RS", "0004", "Santa Maria"},    {"BA", "0001", "Salvador"},        {"BA", "0002", "Feira de Santana"},
        {"BA", "0003", "Vitória da Conquista"}, {"PE", "0001", "Recife"},    {"PE", "0002", "Caruaru"},
        {"PE", "0003", "Olinda"},         {"CE", "0001", "Fortaleza"},       {"CE", "0002", "Juazeiro do Norte"},
        {"GO", "0001", "Goiânia"},        {"GO", "0002", "Anápolis"},        {"DF", "0001", "Brasília"},
        {"ES", "0001", "Vitória"},        {"ES", "0002", "Vila Velha"},      {"AM", "0001", "Manaus"},
        {"PA", "0001", "Belém"},          {"PA", "0002", "Santarém"},        {"MT", "0001", "Cuiabá"},
        {"MS", "0001", "Campo Grande"},   {"PB", "0001", "João Pessoa"},     {"RN", "0001", "Natal"},
        {"AL", "0001", "Maceió"},         {"SE", "0001", "Aracaju"},         {"PI", "0001", "Teresina"},
        {"MA", "0001", "São Luís"},       {"TO", "0001", "Palmas"},          {"RO", "0001", "Porto Velho"},
    };
    return m;
}

} // namespace peddb
