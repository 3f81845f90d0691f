#pragma once
// A window for tests: records every status text, progress change, message
// and dialog, and answers from scripted queues (No, cancel and nothing
// ticked once a queue is empty).
#include <deque>
#include <string>
#include <vector>

#include "common/Ventana.h"

namespace varlo {

class VentanaFalsa : public VentanaBase {
 public:
  struct Mensaje {
    std::string texto;
    Botones botones;
    Icono icono;
    std::string titulo;
  };

  std::vector<std::string> estados;
  std::vector<std::string> resumenes;
  std::vector<double> maximos;
  std::vector<double> valores;
  std::vector<Mensaje> mensajes;
  std::vector<DialogoArchivo> dialogosAbrir, dialogosGuardar;
  std::vector<std::vector<std::string>> listasTablas;
  int eventosProcesados = 0;

  std::deque<Respuesta> respuestas;
  std::deque<std::string> archivosAbrir, archivosGuardar;
  std::deque<std::optional<std::string>> conexiones;
  std::deque<std::vector<bool>> marcas;

  void ProcesaEventos() override { ++eventosProcesados; }
  void MuestraResumen(const std::string& linea) override { resumenes.push_back(linea); }
  Respuesta MuestraMensaje(const std::string& texto, Botones botones, Icono icono,
                           const std::string& titulo) override {
    mensajes.push_back({texto, botones, icono, titulo});
    if (botones == Botones::Aceptar) return Respuesta::Aceptar;
    return Saca(respuestas, Respuesta::No);
  }
  std::string MuestraAbrir(const DialogoArchivo& d) override {
    dialogosAbrir.push_back(d);
    return Saca(archivosAbrir, std::string());
  }
  std::string MuestraGuardar(const DialogoArchivo& d) override {
    dialogosGuardar.push_back(d);
    return Saca(archivosGuardar, std::string());
  }
  std::optional<std::string> ComponeConexion(const std::string&, ProbarConexion) override {
    return Saca(conexiones, std::optional<std::string>());
  }
  std::vector<bool> EligeTablas(const std::vector<std::string>& tablas) override {
    listasTablas.push_back(tablas);
    std::vector<bool> r = Saca(marcas, std::vector<bool>());
    r.resize(tablas.size(), false);
    return r;
  }

 protected:
  void EstadoCambiado() override { estados.push_back(Estado()); }
  void ProgresoCambiado() override {
    maximos.push_back(Maximo());
    valores.push_back(Valor());
  }

 private:
  template <class T>
  static T Saca(std::deque<T>& cola, T porDefecto) {
    if (cola.empty()) return porDefecto;
    T v = std::move(cola.front());
    cola.pop_front();
    return v;
  }
};

}  // namespace varlo
